// The menu commands that drive the display directly, and Interface Set.
#include "FrmMain.h"

#include "Clock.h"
#include "DisplayScripts.h"
#include "DlgIFSet.h"
#include "PortAdapter.h"
#include "Prompter.h"

#include <QAction>
#include <QPushButton>

void FrmMain::ReportSendError()
{
    if (!m_link.aborted())
        m_prompter.warning(QStringLiteral("Send Error!!"),
                           QStringLiteral("Faulted to Data sending!!"));
}

void FrmMain::sendText(const QByteArray &bytes)
{
    if (!SendData(bytes))
        ReportSendError();
}

void FrmMain::runScript(const DisplayScript &script)
{
    BeginSending();
    ShowStatus(script.status);
    RawSend = true;
    for (const QByteArray &text : script.texts)
        sendText(text);
    EndSending();
}

void FrmMain::MenuTest_Click()
{
    runScript(testPrintScript());
}

void FrmMain::MenuInit_Click()
{
    runScript(initScript());
}

void FrmMain::MenuScroll_Click()
{
    runScript(scrollScript(m_define.DspEmulation));
}

void FrmMain::MenuOverWrite_Click()
{
    runScript(overwriteScript(m_define.DspEmulation));
}

void FrmMain::MenuDemo_Click()
{
    const DisplayScript demo = runDemoTexts();
    BeginSending();
    ShowStatus(demo.status);
    RawSend = true;
    for (const QByteArray &text : demo.texts)
        sendText(text);
    m_port.setRtsEnable(false);
    RawSend = false;
    sendText(DemoCommand());
    EndSending();
    MenuDemo->setVisible(false);
    MenuStopDemo->setVisible(true);
}

void FrmMain::MenuStopDemo_Click()
{
    const DisplayScript stop = stopDemoScript();
    ShowStatus(stop.status);
    m_port.setRtsEnable(true);
    BeginSending();
    RawSend = true;
    for (const QByteArray &text : stop.texts)
        sendText(text);
    EndSending();
    MenuStopDemo->setVisible(false);
    MenuDemo->setVisible(true);
}

void FrmMain::MenuIFSet_Click()
{
    ShowStatus(QStringLiteral("Set Interface"));
    CmdSend->hide();
    MenuTest->setEnabled(false);
    if (m_port.portOpen())
        m_port.setPortOpen(false);
    TmrStat->setEnabled(false);
    const std::optional<InterfaceSettings> chosen =
        DlgIFSet::choose({m_define.ComPort, m_define.line()}, m_define.startDir, this);
    // Ended from outside (SIGTERM) while the dialog was open: the port stays closed.
    if (m_unloaded)
        return;
    try {
        if (!chosen) {
            m_link.ReopenPort();
        } else {
            m_define.ComPort = chosen->port;
            m_define.setLine(chosen->line);
            ShowInterfaceStatus();
            m_link.ChooseAndOpenPort(m_define.ComPort, m_define.line());
        }
    } catch (const PortError &) {
        // Nothing is said: the port stays closed and the link monitor shows the link down.
    }
    TmrStat->setEnabled(true);
    LinkStatusShown = false;
}
