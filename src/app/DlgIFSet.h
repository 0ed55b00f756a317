#pragma once

#include "LineSettings.h"
#include "StartDir.h"

#include <QDialog>

#include <array>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QShowEvent;

// The PC side of the link as the dialog chooses it.
struct InterfaceSettings
{
    int port = 1; // COM1..COM4
    LineSettings line;
    bool operator==(const InterfaceSettings &) const = default;
};

// The PC side of the link: port number, baud rate, parity and data bits. It starts from the
// settings it is given and hands back the ones chosen with Set (settings()); closing and
// reopening the port, keeping and saving the settings are the caller's business.
class DlgIFSet : public QDialog
{
    Q_OBJECT

public:
    // `startDir` is where the COMn entries are looked up, for the port items' tool tips.
    DlgIFSet(const InterfaceSettings &current, const StartDir &startDir, QWidget *parent = nullptr);

    // Shows the dialog modally: the settings chosen with Set, nothing after Cancel, Esc or the
    // close box.
    static std::optional<InterfaceSettings> choose(const InterfaceSettings &current,
                                                   const StartDir &startDir, QWidget *parent);
    // What the lists hold now; a list without a selection keeps the current value.
    InterfaceSettings settings() const;

    // The display's rates, slowest first: CboBaud's order.
    static std::array<int, 8> baudRates();
    // The list index for a rate; any rate not in the list gets 9600's.
    static int baudIndexOf(int rate);

    // Preselects the lists from the current settings.
    void Form_Load();
    void CmdSet_Click();
    void CmdCancel_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    InterfaceSettings m_current;

    QComboBox *CboPort;
    QComboBox *CboBaud;
    QComboBox *CboParity;
    QComboBox *CboBitLen;
    QLabel *LblPort;
    QLabel *LblBaud;
    QLabel *LblParity;
    QLabel *LblBitLen;
    QPushButton *CmdSet;
    QPushButton *CmdCancel;
};
