// What a screen reader says for the window's controls. Captions already name the option buttons,
// the check box, the Send button and the menus; the rest is named here, without changing the look.
#include "FrmMain.h"

#include "Widgets.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

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
        {ImgPC, "PC"},
        {ImgArrow[0], "Link up"},
        {ImgArrow[1], "Link up"},
        {ImgArrow[2], "Link up"},
        {LineX1, "Link down"},
        {LineX2, "Link down"},
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
    showLinkState(false);
}

void FrmMain::showLinkState(bool up)
{
    // Qt announces every naming as a change, so only a change of state renames.
    const QString name = up ? QStringLiteral("Link up") : QStringLiteral("Link down");
    if (ImgPole->accessibleName() != name)
        ImgPole->setAccessibleName(name);
}
