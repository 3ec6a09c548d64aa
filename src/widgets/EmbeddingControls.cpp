#include "EmbeddingControls.h"

#include "Twips.h"
#include "shell/PlatformServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace {

const QString OtherPrefix = u"Other /96 prefix..."_s;

} // namespace

EmbeddingControls::EmbeddingControls(QWidget* parent, int left, int top, int width, InputBoxes& inputBoxes,
                                     UserMessages& messages, const std::function<QString()>& title)
    : QObject(parent)
    , m_inputBoxes(inputBoxes)
    , m_messages(messages)
    , m_title(title)
{
    m_label = new QLabel(u"Embedding"_s, parent);
    m_label->setObjectName(u"EmbeddingLabel"_s);
    m_comboBox = new QComboBox(parent);
    m_comboBox->setObjectName(u"EmbeddingBox"_s);
    m_comboBox->setAccessibleName(u"Embedding"_s);
    m_label->setBuddy(m_comboBox);
    for (QStringView name : MapIP::Embedding::Names)
        m_comboBox->addItem(name.toString());
    m_comboBox->addItem(OtherPrefix);
    m_checkBox = new QCheckBox(u"RFC 5952 text"_s, parent);
    m_checkBox->setObjectName(u"Rfc5952Box"_s);
    m_checkBox->setAccessibleName(u"RFC 5952 text"_s);

    const int labelWidth = 1080;
    const int half = width / 2;
    Twips::place(m_label, left, top + 60, labelWidth, 285);
    Twips::place(m_comboBox, left + labelWidth, top, half - labelWidth - 120, 375);
    Twips::place(m_checkBox, left + half, top, width - half, 375);

    connect(m_comboBox, &QComboBox::activated, this, &EmbeddingControls::comboBoxActivated);
    connect(m_checkBox, &QCheckBox::toggled, this, [this](bool) { apply(m_options.embedding()); });
}

void EmbeddingControls::comboBoxActivated(int index)
{
    if (index < int(MapIP::Embedding::Names.size())) {
        m_chosenIndex = index;
        apply(MapIP::Embedding::named(MapIP::Embedding::Named(index)));
        return;
    }
    if (index != m_comboBox->count() - 1) { // the prefix typed before
        m_chosenIndex = index;
        apply(m_typedEmbedding);
        return;
    }
    const QString text = m_inputBoxes.ask(u"Enter the /96 prefix to embed IPv4 addresses in:"_s, m_title(),
                                          u"2001:db8:64::/96"_s);
    // Cancel, or OK on an emptied box, keeps the choice.
    QString error;
    const std::optional<MapIP::Embedding> embedding
        = text.isEmpty() ? std::nullopt : MapIP::Embedding::parse(text.trimmed(), &error);
    if (!embedding) {
        m_comboBox->setCurrentIndex(m_chosenIndex);
        if (!text.isEmpty())
            m_messages.showMessage(error);
        return;
    }
    // The prefix shows as an entry of its own, ahead of "Other /96 prefix...".
    const int otherIndex = m_comboBox->count() - 1;
    const int prefixIndex = int(MapIP::Embedding::Names.size());
    if (otherIndex == prefixIndex)
        m_comboBox->insertItem(prefixIndex, QString());
    m_comboBox->setItemText(prefixIndex, embedding->prefixText());
    m_comboBox->setCurrentIndex(prefixIndex);
    m_chosenIndex = prefixIndex;
    m_typedEmbedding = *embedding;
    apply(*embedding);
}

void EmbeddingControls::apply(const MapIP::Embedding& embedding)
{
    const MapIP::TextStyle style
        = m_checkBox->isChecked() ? MapIP::TextStyle::Rfc5952 : MapIP::TextStyle::Program;
    const MapIP::ConversionOptions options(embedding, style);
    if (options == m_options)
        return;
    m_options = options;
    emit optionsChanged();
}
