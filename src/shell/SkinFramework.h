#pragma once

#include <QString>

#include <optional>

// The skin component of the start-up window: it loads a skin file and applies
// it to a window. Its options are the component's own; the program switches
// on the ones it relies on before applying the skin.
class SkinFramework
{
public:
    virtual ~SkinFramework() = default;

    // Loads the skin file; `iniName` picks a variant inside it, "" the default.
    virtual void loadSkin(const QString& skinFile, const QString& iniName) = 0;
    virtual qint32 optionFlags() = 0;
    virtual void setOptionFlags(qint32 flags) = 0;
    // Skins the program's dialogs and message boxes too.
    virtual void setSkinDialogs(bool on) = 0;
    // Skins menus and pop-up windows too.
    virtual void setSkinMenus(bool on) = 0;
    // Applies the loaded skin to the native window.
    virtual void applyWindow(qint32 windowHandle) = 0;
};

// A skin component that only keeps a record of what it was asked. The program
// ships no skin engine: a skin file in the program's folder recolours the
// start-up window, and what would be handed to an engine is kept here.
class RecordingSkinFramework final : public SkinFramework
{
public:
    struct Settings
    {
        QString skinFile;
        QString iniName;
        qint32 optionFlags = 0;
        bool skinDialogs = false;
        bool skinMenus = false;

        bool operator==(const Settings&) const = default;
    };

    void loadSkin(const QString& skinFile, const QString& iniName) override;
    qint32 optionFlags() override { return settings.optionFlags; }
    void setOptionFlags(qint32 flags) override { settings.optionFlags = flags; }
    void setSkinDialogs(bool on) override { settings.skinDialogs = on; }
    void setSkinMenus(bool on) override { settings.skinMenus = on; }
    void applyWindow(qint32 windowHandle) override;

    bool wasCalled() const { return m_called; }

    // What was loaded and set so far.
    Settings settings;
    // The window the skin was applied to, with the settings at that moment.
    std::optional<qint32> appliedWindow;
    Settings appliedSettings;

private:
    bool m_called = false;
};
