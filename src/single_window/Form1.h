#pragma once

#include "conversion/Embedding.h"
#include "conversion/Forms.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <optional>

class EmbeddingControls;
class ErrorTrap;
class Form2;
class Platform;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class WindowPointer;

// The single-address window: four octet boxes, "Start Converting" and the
// four result boxes. It is the program's start-up window; closing it ends the
// program.
class Form1 final : public QWidget
{
    Q_OBJECT

public:
    // Builds the window and runs its start-up steps (Form_Load).
    explicit Form1(Platform& platform, QWidget* parent = nullptr);
    ~Form1() override;

    // Octet box `index` (1 to 4, left to right).
    QLineEdit* Text1(int index) const;
    // The address line, where an address, prefix or range of either kind is
    // typed or pasted, and the label beneath it that says what it holds.
    QLineEdit* Text6() const { return m_addressLine; }
    QLabel* Label6() const { return m_addressNote; }

    WindowPointer& pointer() const { return *m_pointer; }

    // The batch window while it is shown.
    Form2* batchWindow() const;
    // Shows the batch window in place of this one, as "Convert Multiple
    // Addresses At Once" does; null when that failed (and was reported).
    Form2* showBatchWindow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildAddressFrame();
    void buildResultsFrame();
    void buildAddressLine();
    void Form_Load();
    void OpenHomePageAtRandom();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void Text1_GotFocus(int index);
    void Text1_KeyUp(int index, int keyCode);
    // Converts the four octets into the result boxes.
    void convertOctets();
    // Fills the result boxes with the address's forms in `options`; a form
    // that fails is reported, and its box emptied when `emptyFailed`. The
    // label beneath the address line then shows `lead` and the notes on
    // the forms.
    void showForms(ErrorTrap& trap, const QString& address, const MapIP::ConversionOptions& options,
                   bool emptyFailed, const QString& lead = {});
    // Reads the address line as the user types or pastes.
    void Text6_Change();
    // An IPv4 address, prefix or range on the address line.
    void showIpv4Entry(const QString& entry);
    // An IPv6 address or prefix on the address line: the IPv4 address or
    // prefix it carries.
    void showDecodedEntry(const QString& entry);
    // Writes the converted address again in the embedding and style now chosen.
    void Embedding_Change();

    Platform& m_platform;
    bool ConversionBusy = false;
    QPointer<Form2> m_batchWindow;
    // The address whose forms the result boxes show, once one has been converted.
    std::optional<QString> m_convertedAddress;
    // What the label says ahead of the notes on the converted address's forms.
    QString m_convertedLead;
    // The label shows what the address line's IPv6 entry carries, which
    // depends on the embedding chosen.
    bool m_showsDecoded = false;
    EmbeddingControls* m_embedding = nullptr;
    WindowPointer* m_pointer = nullptr;

    QPushButton* m_pushButton1 = nullptr;
    QPushButton* m_pushButton2 = nullptr;
    QPushButton* m_pushButton3 = nullptr;
    QPushButton* m_pushButton4 = nullptr;
    QPushButton* m_pushButton5 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    std::array<QLineEdit*, 4> m_text1 {};
    // Text2 to Text5 and Label1 to Label4: one result box and its label per form.
    std::array<QLineEdit*, MapIP::FormCount> m_resultBoxes {};
    std::array<QLabel*, MapIP::FormCount> m_labels {};
    QLineEdit* m_addressLine = nullptr;
    QLabel* m_addressNote = nullptr;
};
