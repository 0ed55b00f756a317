#include "DisplayScripts.h"

namespace {

constexpr char Ff[] = "\x0c";
constexpr char CrLf[] = "\r\n";
constexpr char Can[] = "\x18";

// Both lines get the mode command: once after VT (upper line), once after LF (lower line).
QByteArray modeSequence(const QByteArray &modeCommand)
{
    return '\x0b' + modeCommand + '\n' + modeCommand;
}

bool nativeEmulation(int emulation)
{
    return emulation == 0;
}

} // namespace

QByteArray characterPage(int row)
{
    if (row < 2 || row > 15)
        return {};
    QByteArray codes(16, '\0');
    for (int j = 0; j < 16; ++j)
        codes[j] = static_cast<char>(16 * row + j);
    return Ff + codes;
}

DisplayScript testPrintScript()
{
    DisplayScript script{QStringLiteral("Test Print Out..."), {}};
    script.texts << QByteArray(Ff) + "TEST Print!" << QByteArray(CrLf) + "Vantor QS Corp."
                 << QByteArray(CrLf) + Can + "TEL 12-3-4567-8901"
                 << QByteArray(Ff) + "e-mail:" + CrLf + SupportAddress;
    for (int row = 2; row <= 15; ++row)
        script.texts << characterPage(row);
    script.texts << QByteArray(Ff) + "Vantor QS Corp.   " + CrLf + "  Tech.Ops Div.   ";
    return script;
}

DisplayScript initScript()
{
    return {QStringLiteral("Display Initialize..."), {QByteArrayLiteral("\x1b@")}};
}

DisplayScript scrollScript(int emulation)
{
    // ESC DC3 natively, US 0x03 (horizontal scroll) under ESC/POS.
    const QByteArray mode = modeSequence(nativeEmulation(emulation) ? "\x1b\x13" : "\x1f\x03");
    return {QStringLiteral("Set Scroll..."),
            {mode, QByteArray(Ff) + "Scroll" + QByteArray(12, ' ')}};
}

DisplayScript overwriteScript(int emulation)
{
    // ESC DC1 natively, US 0x01 under ESC/POS.
    const QByteArray mode = modeSequence(nativeEmulation(emulation) ? "\x1b\x11" : "\x1f\x01");
    return {QStringLiteral("ReSet Scroll..."), {mode, QByteArray(Ff) + "Overwrite Display."}};
}

DisplayScript runDemoTexts()
{
    return {QStringLiteral("Run Demo..."), {QByteArray(Ff) + "Demo....", Ff}};
}

QByteArray DemoCommand()
{
    return QByteArrayLiteral("D\x08");
}

DisplayScript stopDemoScript()
{
    return {QStringLiteral("Stop Demo..."), {QByteArray(Ff) + "Stop DEMO!"}};
}
