// The window's sending look, the link monitor and the version box.
#include "FrmMain.h"

#include "Clock.h"
#include "PortAdapter.h"
#include "Prompter.h"
#include "VersionInfo.h"
#include "Widgets.h"

#include <QLabel>
#include <QPushButton>

void FrmMain::BeginSending()
{
    RawSend = false;
    TmrStat->setEnabled(false);
    CmdSend->hide();
    LblSending->show();
    static_cast<StatusLine *>(LblMessage)->announce(LblSending->text());
    setCursor(Qt::WaitCursor);
    for (QLabel *arrow : ImgArrow)
        arrow->show();

    // No second command may start while this one waits; Exit stays available. Only the items
    // usable now are disabled, and exactly those come back: a hidden item reads as disabled
    // and must keep its own state for when it is shown again.
    for (QAction *item : {MenuIFSet, MenuTest, MenuDemo, MenuStopDemo, MenuInit, MenuScroll,
                          MenuOverWrite, MenuHVersion}) {
        if (item->isEnabled()) {
            m_refusedWhileSending.push_back(item);
            item->setEnabled(false);
        }
    }
}

void FrmMain::EndSending()
{
    RawSend = false;
    LinkStatusShown = false;
    if (!m_unloaded)
        TmrStat->setEnabled(true);
    LblSending->hide();
    for (QLabel *arrow : ImgArrow)
        arrow->hide();
    unsetCursor();
    for (QAction *item : m_refusedWhileSending)
        item->setEnabled(true);
    m_refusedWhileSending.clear();
}

void FrmMain::TmrStat_Timer()
{
    // A port lost to an unplug, a hang-up or a failed re-open comes back once its device is
    // there again, quietly, with the settings chosen before: one look and at most one open per
    // tick. A healthy port is never touched, and no tick runs while a send or the Interface Set
    // dialog is under way.
    if (!m_port.portOpen() && m_port.deviceAvailable()) {
        try {
            m_link.OpenPort(m_define.ComPort, m_define.line());
            LinkStatusShown = false; // the line says the link is back
        } catch (const PortError &) {
            // Busy or not permitted yet: the next tick tries again.
        }
    }
    QString status;
    // A closed or vanished port reports DSR off: the link-down look.
    const bool up = m_port.dsrHolding();
    if (up) {
        LineX1->hide();
        LineX2->hide();
        ImgArrow[m_arrowIndex]->hide();
        m_arrowIndex = (m_arrowIndex + 1) % 3;
        ImgArrow[m_arrowIndex]->show();
        CmdSend->show();
        for (QAction *item : {MenuTest, MenuInit, MenuDemo})
            item->setEnabled(true);
        status = QStringLiteral("Communication OK");
    } else {
        ImgArrow[m_arrowIndex]->hide();
        LineX1->show();
        LineX2->show();
        CmdSend->hide();
        for (QAction *item : {MenuTest, MenuInit, MenuDemo})
            item->setEnabled(false);
        status = QStringLiteral("Communication NG");
    }
    const bool writeStatus = !LinkStatusShown;
    if (writeStatus)
        ShowStatus(status);
    LinkStatusShown = true;
    showLinkState(up, writeStatus ? status : QString());
}

void FrmMain::MenuHVersion_Click()
{
    ShowStatus(QStringLiteral("Version Information"));
    CmdSend->hide();
    MenuTest->setEnabled(false);
    m_prompter.message(QStringLiteral("Version Information"), versionMessage());
    LinkStatusShown = false;
}
