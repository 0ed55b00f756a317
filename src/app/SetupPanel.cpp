// The set-up and reset panels of the window and the Send button.
#include "FrmMain.h"

#include "FailureWords.h"
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

SendRequest FrmMain::panelRequest() const
{
    if (!OptSet[0]->isChecked())
        return SendRequest{.reset = true, .item = ResetSelIndex};
    // The value is read once, for the frame: a change made during the send's waits does not
    // reach the setting, so the setting, the display and the PC port agree.
    const int item = SetSelIndex;
    QComboBox *const lists[7] = {CboINChr, CboCodePage,      CboEmulation, nullptr,
                                 nullptr,  CboCommunication, CboBaud};
    const QComboBox *list = item >= 0 && item < 7 ? lists[item] : nullptr;
    const QString text = item == SetupUpperLine   ? TxtUpperLine->text()
                         : item == SetupLowerLine ? TxtLowerLine->text()
                                                  : QString();
    return SendRequest{.item = item, .listIndex = list ? list->currentIndex() : -1, .text = text};
}

void FrmMain::CmdSend_Click()
{
    BeginSending();
    const SendRequest request = panelRequest();
    const SendOutcome outcome = m_session.send(request);
    if (request.reset && request.item == ResetUpperLine)
        TxtUpperLine->setText(QString());
    else if (request.reset && request.item == ResetLowerLine)
        TxtLowerLine->setText(QString());
    // A set-up item that did not reach the display changes nothing; a window closed during the
    // Send has nothing more to show.
    if ((!request.reset && outcome.item != SendOutcome::Sent) || m_link.aborted()) {
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
    EndSending();
    reportSave(outcome);
}

void FrmMain::reportSave(const SendOutcome &outcome)
{
    // A settings file left behind would make the next start open the port at the old settings,
    // so a failed save is said once, and again only after a save has worked in between.
    if (outcome.saved || m_unloaded) {
        m_saveFailureShown = m_saveFailureShown && !outcome.saved;
        return;
    }
    if (m_saveFailureShown)
        return;
    m_saveFailureShown = true;
    m_prompter.warning(
        QStringLiteral("Settings Not Saved"), QStringLiteral("The settings could not be saved."),
        QStringLiteral("%1: %2.\n\nThe next start reads this file and opens the port at the "
                       "settings stored there, not at the ones in use now.")
            .arg(QDir::toNativeSeparators(settingsFilePath(m_define)),
                 settingsFailureWords(outcome.saveFailure)));
}
