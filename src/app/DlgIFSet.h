#pragma once

#include <QDialog>

#include <array>

struct Define;
class QComboBox;
class QLabel;
class QPushButton;
class QShowEvent;

// The PC side of the link: port number, baud rate, parity and data bits. It reads and writes
// only ComPort, ComBaud, ComParity, ComBitLen and IFSetCancelled; closing and reopening the
// port and saving the settings are the caller's business. Create a new one for every showing.
class DlgIFSet : public QDialog
{
    Q_OBJECT

public:
    explicit DlgIFSet(Define &define, QWidget *parent = nullptr);

    // CboBaud's rates in list order, slowest first.
    static constexpr std::array<int, 8> BaudRates = {300,  600,  1200,  2400,
                                                     4800, 9600, 19200, 38400};
    // The list index for a rate; any rate not in the list gets 9600's.
    static int baudIndexOf(int rate);

    // Preselects the lists from the settings and marks the dialog cancelled until Set.
    void Form_Load();
    void CmdSet_Click();
    void CmdCancel_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Define &m_define;

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
