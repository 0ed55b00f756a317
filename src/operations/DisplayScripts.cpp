#include "DisplayScripts.h"

#include "SerialLink.h"

namespace {

constexpr QLatin1String Ff("0C");
constexpr QLatin1String CrLf("0D0A");
constexpr QLatin1String Can("18");

// Printable ASCII as hex text.
QString text(const char *ascii)
{
    return bytesToHexText(QByteArrayView(ascii));
}

// Both lines get the mode command: once after VT (upper line), once after LF (lower line).
QString modeSequence(const QString &modeCommand)
{
    return QStringLiteral("0B") + modeCommand + QStringLiteral("0A") + modeCommand;
}

bool nativeEmulation(int emulation)
{
    return emulation == 0;
}

} // namespace

QString characterPage(int row)
{
    if (row < 2 || row > 15)
        return {};
    QByteArray codes(16, '\0');
    for (int j = 0; j < 16; ++j)
        codes[j] = static_cast<char>(16 * row + j);
    return Ff + bytesToHexText(codes);
}

DisplayScript testPrintScript()
{
    DisplayScript script{QStringLiteral("Test Print Out..."), {}};
    script.texts << Ff + text("TEST Print!") << CrLf + text("Vantor QS Corp.")
                 << QString(CrLf) + Can + text("TEL 12-3-4567-8901")
                 << Ff + text("e-mail:") + CrLf + text(SupportAddress);
    for (int row = 2; row <= 15; ++row)
        script.texts << characterPage(row);
    script.texts << Ff + text("Vantor QS Corp.   ") + CrLf + text("  Tech.Ops Div.   ");
    return script;
}

DisplayScript initScript()
{
    return {QStringLiteral("Display Initialize..."), {QStringLiteral("1B40")}};
}

DisplayScript scrollScript(int emulation)
{
    // ESC DC3 natively, US 0x03 (horizontal scroll) under ESC/POS.
    const QString mode =
        modeSequence(nativeEmulation(emulation) ? QStringLiteral("1B13") : QStringLiteral("1F03"));
    return {QStringLiteral("Set Scroll..."),
            {mode, Ff + text("Scroll") + QStringLiteral("20").repeated(12)}};
}

DisplayScript overwriteScript(int emulation)
{
    // ESC DC1 natively, US 0x01 under ESC/POS.
    const QString mode =
        modeSequence(nativeEmulation(emulation) ? QStringLiteral("1B11") : QStringLiteral("1F01"));
    return {QStringLiteral("ReSet Scroll..."), {mode, Ff + text("Overwrite Display.")}};
}

DisplayScript runDemoTexts()
{
    return {QStringLiteral("Run Demo..."), {Ff + text("Demo...."), Ff}};
}

QString DemoCommand()
{
    return text("D") + QStringLiteral("08");
}

DisplayScript stopDemoScript()
{
    return {QStringLiteral("Stop Demo..."), {Ff + text("Stop DEMO!")}};
}
