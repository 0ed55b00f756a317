#pragma once

#include "Define.h"
#include "SerialLink.h"
#include "SetupSession.h"

#include <QMainWindow>

#include <array>
#include <memory>

class ClockTimer;
class Prompter;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class PictureBox;
class LineShape;

// The program's one window. It owns every control, the link-monitor timer and the serial
// link, and runs start-up, shut-down and every command. The port, the clock and the message
// boxes come from outside, so tests run it over fakes.
class FrmMain : public QMainWindow
{
    Q_OBJECT

public:
    FrmMain(Define &define, PortAdapter &port, Clock &clock, Prompter &prompter,
            QWidget *parent = nullptr);
    ~FrmMain() override;

    // Start-up. False when the port could not be opened: the box has been shown and the
    // program is to end without showing the window.
    bool Form_Load();

    void ShowStatus(const QString &text);
    void ShowInterfaceStatus();

    // The window's commands keep the names of the controls that run them. They stay public: each
    // does what using its control does, so the program's runner and scripted drivers may call one.
    void BeginSending();
    void EndSending();
    void TmrStat_Timer();

    // Set-up panel.
    void OptSet_Click(int index);
    void OptSetSel_Click(int index);
    void OptReset_Click(int index);
    void CboINChr_Click();
    void CboCodePage_Click();
    void CboEmulation_Click();
    void CboCommunication_Click();
    void CboBaud_Click();
    void TxtUpperLine_Change();
    void TxtLowerLine_Change();
    void CmdSend_Click();

    // Menu commands.
    void MenuIFSet_Click();
    void MenuTest_Click();
    void MenuDemo_Click();
    void MenuStopDemo_Click();
    void MenuInit_Click();
    void MenuScroll_Click();
    void MenuOverWrite_Click();
    void MenuEnd_Click();
    void MenuHVersion_Click();

    bool unloaded() const { return m_unloaded; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Controls, named as the window's layout names them; each carries that name as its object
    // name, which is how tests find it.
    std::array<QRadioButton *, 2> OptSet{};
    QCheckBox *ChkSetTerm = nullptr;
    QGroupBox *FraPoleSet = nullptr;
    std::array<QRadioButton *, 7> OptSetSel{};
    QComboBox *CboBaud = nullptr;
    QComboBox *CboCommunication = nullptr;
    QComboBox *CboEmulation = nullptr;
    QLineEdit *TxtLowerLine = nullptr;
    QLineEdit *TxtUpperLine = nullptr;
    QComboBox *CboCodePage = nullptr;
    QComboBox *CboINChr = nullptr;
    QGroupBox *FraResROM = nullptr;
    std::array<QRadioButton *, 3> OptReset{};
    QPushButton *CmdSend = nullptr;
    PictureBox *PicIFStat = nullptr;
    std::unique_ptr<ClockTimer> TmrStat;
    QLabel *LblSending = nullptr;
    QLabel *LblMessage = nullptr;
    LineShape *LineX2 = nullptr;
    LineShape *LineX1 = nullptr;
    QLabel *ImgPC = nullptr;
    std::array<QLabel *, 3> ImgArrow{};
    QLabel *ImgPole = nullptr;

    QAction *MenuFile = nullptr;
    QAction *MenuIFSet = nullptr;
    QAction *MenuTest = nullptr;
    QAction *MenuDemo = nullptr;
    QAction *MenuStopDemo = nullptr;
    QAction *MenuInit = nullptr;
    QAction *MenuScroll = nullptr;
    QAction *MenuOverWrite = nullptr;
    QAction *MenuEnd = nullptr;
    QAction *MenuHelp = nullptr;
    QAction *MenuHVersion = nullptr;

    // Window state.
    int SetSelIndex = 2;
    int ResetSelIndex = 0;
    bool LinkStatusShown = false;
    bool RawSend = false;

    void createControls();
    void createMenus();
    // Accessible names and descriptions: what each control is, as a screen reader says it.
    void nameControls();
    // The link picture says whether the link is up. A change, and the status text when one is
    // written, are announced to a screen reader together.
    void showLinkState(bool up, const QString &status);
    void connectHandlers();
    void Form_Unload();
    void showLinkDownLook();
    void selectSetupRow(int row);
    void fillControlsFromSettings();

    bool SendData(const QByteArray &bytes) { return m_link.SendData(bytes, RawSend); }
    // The send-error box; none once the window is going away.
    void ReportSendError();
    // Sends a text and shows the send-error box when it failed; the caller goes on.
    void sendText(const QByteArray &bytes);
    void runScript(const struct DisplayScript &script);
    // The Send's item and value, read once from the panel.
    SendRequest panelRequest() const;
    void reportSave(const SendOutcome &outcome);

    Define &m_define;
    PortAdapter &m_port;
    Prompter &m_prompter;
    SerialLink m_link;
    SetupSession m_session;
    int m_arrowIndex = 0; // the arrow shown while the link is up
    bool m_unloading = false;
    bool m_unloaded = false;
    bool m_saveFailureShown = false;
    std::vector<QAction *> m_refusedWhileSending;
};
