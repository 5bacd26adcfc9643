#pragma once

#include "link/mscomm.h"

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>

class QLabel;
class QPushButton;
class QRadioButton;

namespace zuno {

class Form2;
struct ButtonSpec;

// The main window: the operator panel and the owner of the serial link, its
// three timers, the echo and status lines and the link state.
class Form1 : public QWidget
{
    Q_OBJECT
  public:
    static constexpr std::uint8_t kTransmit = 1;
    static constexpr std::uint8_t kReceive = 2;
    // Reply window and display time of an exchange after start-up and after the console.
    static constexpr int kReplyIntervalMs = 1000;
    static constexpr int kDisplayClearIntervalMs = 1200;

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // The start-up: restores port, speed and address, opens the port, or falls
    // back to the port dialog shown modally. Runs before the window is first shown.
    void load();

    // Transmit mode (1): writes AddressPrefix + text (which ends in CR) as one string,
    // echoes it and starts the reply and display-clear timers. Any other mode: redraws
    // the RxD echo line from text and decodes the reply into the status line.
    void Hyouji(const QByteArray& text, std::uint8_t mode);
    void Cont_M_down();
    void Cont_M_up();

    MSComm1& comm() { return m_comm; }
    QWidget* Frame15() const { return m_frame15; }
    QLabel* label(const QString& name) const { return m_labels.value(name); }
    QPushButton* button(const QString& name) const { return m_buttons.value(name); }
    // The port dialog while it is open.
    Form2* portDialog() const;
    // The command list console while it is open.
    QWidget* console() const { return m_console; }
    // The two panel heights, as client heights in pixels.
    static int compactClientHeight();
    static int fullClientHeight();

    // Link state.
    std::uint8_t RepeatKey = 0;
    std::uint8_t AwaitingReply = 0;
    QByteArray RxBuffer;
    std::int16_t HoldActive = 0;
    QByteArray AddressPrefix;

    QTimer Timer1; // hold-to-repeat
    QTimer Timer2; // reply window
    QTimer Timer4; // display clear

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void wireButtons();
    void clickButton(const ButtonSpec& spec);
    void pressHoldButton(const ButtonSpec& spec);
    void receive();
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer4_Timer();
    void togglePanelSize();
    void selectAddressOption();
    void placeOnScreen();
    void startUpFallback();
    void Command16_Click();
    void Command33_Click();
    void Command74_Click();
    void showLegends(bool ack, bool cr, bool space);

    MSComm1 m_comm;
    QHash<QString, QPushButton*> m_buttons;
    QHash<QString, QLabel*> m_labels;
    QList<QRadioButton*> m_options;
    QHash<const QObject*, const ButtonSpec*> m_holdButtons;
    QWidget* m_frame15 = nullptr;
    QPushButton* m_heldButton = nullptr;
    bool m_portClosedShown = false;
    QPointer<Form2> m_portDialog;
    QPointer<QWidget> m_console;
};

} // namespace zuno
