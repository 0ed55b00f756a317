// What a screen reader says for the window's controls. Captions already name the option buttons,
// the check box, the Send button and the menus; the rest is named here, without changing the look.
#include "FrmMain.h"

#include "Widgets.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

void FrmMain::nameControls()
{
    // The lists and message boxes after their rows, the frames after the options that title them.
    const std::pair<QWidget *, const char *> names[] = {
        {CboINChr, "International Character"},
        {CboCodePage, "Code Page"},
        {CboEmulation, "Command Emulation"},
        {TxtUpperLine, "Upper line message"},
        {TxtLowerLine, "Lower line message"},
        {CboCommunication, "Communication"},
        {CboBaud, "Baud rate"},
        {FraPoleSet, "System Set"},
        {FraResROM, "Reset EEPROM"},
    };
    for (const auto &[control, name] : names)
        control->setAccessibleName(QString::fromLatin1(name));
    // The status line and the interface-status panel are named by their text, which Qt announces
    // when it changes.
    const std::pair<QWidget *, const char *> descriptions[] = {
        {TxtUpperLine, "Saved in the customer display for its demo"},
        {TxtLowerLine, "Saved in the customer display for its demo"},
        {CboCommunication, "Parity and data bits of the customer display"},
        {CboBaud, "Line speed of the customer display"},
        {PicIFStat, "Interface status"},
        {ImgPole, "Link between this PC and the customer display"},
        {LblMessage, "Status"},
    };
    for (const auto &[control, description] : descriptions)
        control->setAccessibleDescription(QString::fromLatin1(description));
    // The picture row is one picture, named for what it shows; the arrows step unheard.
    makeOnePicture(ImgPole, {ImgPC, ImgArrow[0], ImgArrow[1], ImgArrow[2], LineX1, LineX2});
    ImgPole->setAccessibleName(QStringLiteral("Link to the display: down"));
    // While Send is hidden (sending, or the link down) the focus waits on the selected row, not
    // in whatever control follows Send, and goes back to Send when it shows.
    giveFocusAHome(CmdSend, [this]() -> QWidget * {
        return OptSet[1]->isChecked() ? OptReset[size_t(ResetSelIndex) % OptReset.size()]
                                      : OptSetSel[size_t(SetSelIndex) % OptSetSel.size()];
    });
}

void FrmMain::showLinkState(bool up, const QString &status)
{
    QStringList heard;
    if (!status.isEmpty())
        heard << status;
    // Qt announces every naming as a change, so only a change of state renames.
    const QString name = up ? QStringLiteral("Link to the display: up")
                            : QStringLiteral("Link to the display: down");
    if (ImgPole->accessibleName() != name) {
        ImgPole->setAccessibleName(name);
        heard << name;
    }
    // One announcement: a second would cut the first short.
    if (!heard.isEmpty())
        static_cast<StatusLine *>(LblMessage)->announce(heard.join(QStringLiteral(". ")));
}
