// The set-up and reset panels of the window and the Send button.
#include "FrmMain.h"

#include "PortAdapter.h"
#include "Prompter.h"
#include "SettingsFile.h"
#include "SetupCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

void FrmMain::OptSet_Click(int index)
{
    OptSet[index]->setChecked(true); // the group clears the other option
    const bool systemSet = index == 0;
    for (QWidget *control :
         std::initializer_list<QWidget *>{CboINChr, CboCodePage, CboEmulation, TxtUpperLine,
                                          TxtLowerLine, CboCommunication, CboBaud, ChkSetTerm})
        control->setEnabled(systemSet);
    for (QRadioButton *row : OptSetSel)
        row->setEnabled(systemSet);
    for (QRadioButton *row : OptReset)
        row->setEnabled(!systemSet);
}

void FrmMain::OptSetSel_Click(int index)
{
    SetSelIndex = index;
}

void FrmMain::OptReset_Click(int index)
{
    ResetSelIndex = index;
    ShowStatus(QStringLiteral("Reset condition=") + QString::number(index, 16).toUpper());
    LinkStatusShown = false;
}

void FrmMain::selectSetupRow(int row)
{
    // Selecting the row runs its handler; a row already selected records itself again.
    if (OptSetSel[row]->isChecked())
        OptSetSel_Click(row);
    else
        OptSetSel[row]->setChecked(true);
}

void FrmMain::CboINChr_Click()
{
    selectSetupRow(SetupINChar);
}

void FrmMain::CboCodePage_Click()
{
    selectSetupRow(SetupCodePage);
}

void FrmMain::CboEmulation_Click()
{
    selectSetupRow(SetupEmulation);
}

void FrmMain::TxtUpperLine_Change()
{
    selectSetupRow(SetupUpperLine);
}

void FrmMain::TxtLowerLine_Change()
{
    selectSetupRow(SetupLowerLine);
}

void FrmMain::CboCommunication_Click()
{
    selectSetupRow(SetupCommunication);
    ChkSetTerm->setChecked(true);
}

void FrmMain::CboBaud_Click()
{
    selectSetupRow(SetupBaud);
    ChkSetTerm->setChecked(true);
}

void FrmMain::CmdSend_Click()
{
    BeginSending();
    bool displayGotIt = true; // the item's frame left whole
    if (OptSet[0]->isChecked()) {
        // The value is read once, for the frame: a change made during the send's waits does
        // not reach the setting, so the setting, the display and the PC port agree.
        const int item = SetSelIndex;
        QComboBox *const lists[7] = {CboINChr, CboCodePage,      CboEmulation, nullptr,
                                     nullptr,  CboCommunication, CboBaud};
        const int listIndex = lists[item] ? lists[item]->currentIndex() : -1;
        const QString text = item == SetupUpperLine   ? TxtUpperLine->text()
                             : item == SetupLowerLine ? TxtLowerLine->text()
                                                      : QString();
        if (setupItemIsRaw(item))
            RawSend = true;
        // A window closed in the frame's settle wait does not undo what the display got.
        if (!SendData(setupItemPayload(item, listIndex, text)) && !m_link.lastTextWhole()) {
            m_link.ReportSendError();
            EndSending();
            return;
        }
        RawSend = false;
        switch (item) {
        case SetupINChar:
            m_define.DspINChar = listIndex;
            break;
        case SetupCodePage:
            m_define.DspCodePage = listIndex;
            break;
        case SetupEmulation:
            m_define.DspEmulation = listIndex;
            break;
        case SetupUpperLine:
            m_define.DspUpperLine = text;
            break;
        case SetupLowerLine:
            m_define.DspLowerLine = text;
            break;
        case SetupCommunication:
            m_define.DspCommunication = listIndex;
            break;
        case SetupBaud:
            m_define.DspBaud = listIndex;
            break;
        }
        if (ChkSetTerm->isChecked() && (item == SetupCommunication || item == SetupBaud)) {
            // The window has gone: no port is opened, but the PC side is recorded where the
            // display now listens.
            if (m_link.aborted())
                followDisplayLine(m_define, item);
            else
                switchPcPort(item);
        }
        sendText(ClosingFrame());
    } else {
        const int item = ResetSelIndex;
        sendText(resetItemPayload(item));
        displayGotIt = m_link.lastTextWhole();
        if (item == ResetUpperLine) {
            m_define.DspUpperLine.clear();
            TxtUpperLine->setText(QString());
        } else if (item == ResetLowerLine) {
            m_define.DspLowerLine.clear();
            TxtLowerLine->setText(QString());
        }
    }
    // Closed while the Send went on: nothing more goes out, but the file says what the display
    // holds, so that the next start opens the port where it listens.
    if (m_link.aborted()) {
        if (displayGotIt)
            SaveSettings(m_define);
        EndSending();
        return;
    }
    MenuScroll->setVisible(true);
    MenuOverWrite->setVisible(true);
    if (!OptSet[1]->isEnabled()) {
        for (QRadioButton *row : OptSetSel)
            row->setEnabled(true);
        for (QWidget *control :
             std::initializer_list<QWidget *>{CboINChr, CboCodePage, CboCommunication, CboBaud,
                                              TxtUpperLine, TxtLowerLine, OptSet[1]})
            control->setEnabled(true);
    }
    QString whyNotSaved;
    const bool saved = SaveSettings(m_define, &whyNotSaved);
    EndSending();
    reportSave(saved, whyNotSaved);
}

void FrmMain::reportSave(bool saved, const QString &why)
{
    // A settings file left behind would make the next start open the port at the old settings,
    // so a failed save is said once, and again only after a save has worked in between.
    if (saved || m_unloaded) {
        m_saveFailureShown = m_saveFailureShown && !saved;
        return;
    }
    if (m_saveFailureShown)
        return;
    m_saveFailureShown = true;
    m_prompter.warning(
        QStringLiteral("Settings Not Saved"), QStringLiteral("The settings could not be saved."),
        QStringLiteral("%1: %2.\n\nThe next start reads this file and opens the port at the "
                       "settings stored there, not at the ones in use now.")
            .arg(QDir::toNativeSeparators(settingsFilePath(m_define)), why));
}

void FrmMain::switchPcPort(int item)
{
    followDisplayLine(m_define, item);
    if (m_port.portOpen())
        m_port.setPortOpen(false);
    ShowInterfaceStatus();
    try {
        m_link.OpenPort();
    } catch (const PortError &) {
        // Left to the link monitor: the closing frame fails with its box and the window shows
        // the link down; the settings stay as chosen.
    }
}
