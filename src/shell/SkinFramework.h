#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <vector>

// The skin component of the start-up window. The program calls it by dispatch
// id only: the meaning of each id belongs to the component.
class SkinFramework
{
public:
    enum class CallKind { Method, PropertyGet, PropertyPut };

    virtual ~SkinFramework() = default;
    virtual QVariant invoke(CallKind kind, int dispatchId, const QVariantList& arguments) = 0;
};

// A skin component that only keeps a record of what it was asked. The program
// ships no skin engine: a skin file in the program's folder recolours the
// start-up window, and the calls that would hand it to an engine are kept here.
class RecordingSkinFramework final : public SkinFramework
{
public:
    struct Call
    {
        CallKind kind;
        int dispatchId;
        QVariantList arguments;
    };

    QVariant invoke(CallKind kind, int dispatchId, const QVariantList& arguments) override;

    std::vector<Call> calls;
    // What a read of the option flags (dispatch id 1) answers.
    qint32 optionFlags = 0;
};
