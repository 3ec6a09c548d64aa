#pragma once

#include "conversion/Embedding.h"

#include <QObject>

#include <functional>

class InputBoxes;
class QCheckBox;
class QComboBox;
class QLabel;
class QWidget;
class UserMessages;

// The "Embedding" drop-down and the "RFC 5952 text" check box that both
// windows show, and the choice they make. "Other /96 prefix..." asks for a
// prefix in an input box; a prefix that is refused is explained and the
// previous choice stays. Nothing is kept between runs of the program.
class EmbeddingControls final : public QObject
{
    Q_OBJECT

public:
    // Places the controls on one row of `parent` at `top` (twips), from
    // `left` across `width`.
    EmbeddingControls(QWidget* parent, int left, int top, int width, InputBoxes& inputBoxes,
                      UserMessages& messages, const std::function<QString()>& title);

    const MapIP::ConversionOptions& options() const { return m_options; }

signals:
    // The embedding or the text style has changed.
    void optionsChanged();

private:
    void comboBoxActivated(int index);
    void apply(const MapIP::Embedding& embedding);

    InputBoxes& m_inputBoxes;
    UserMessages& m_messages;
    std::function<QString()> m_title;
    QComboBox* m_comboBox = nullptr;
    QCheckBox* m_checkBox = nullptr;
    QLabel* m_label = nullptr;
    MapIP::ConversionOptions m_options;
    // The entry shown for the current choice, to return to when a prefix is refused.
    int m_chosenIndex = 0;
    MapIP::Embedding m_typedEmbedding;
};
