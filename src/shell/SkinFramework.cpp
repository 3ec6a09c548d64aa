#include "SkinFramework.h"

void RecordingSkinFramework::loadSkin(const QString& skinFile, const QString& iniName)
{
    m_called = true;
    settings.skinFile = skinFile;
    settings.iniName = iniName;
}

void RecordingSkinFramework::applyWindow(qint32 windowHandle)
{
    m_called = true;
    appliedWindow = windowHandle;
    appliedSettings = settings;
}
