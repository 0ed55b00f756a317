#include "SetupLists.h"

#include "LineSettings.h"

namespace {

QStringList baudItems()
{
    QStringList items;
    for (const int rate : DspBaudRates)
        items << baudListItem(rate);
    return items;
}

QStringList communicationItems()
{
    QStringList items;
    for (const CommunicationFormat &format : DspCommunicationFormats)
        items << QStringLiteral(" %1-%2-1").arg(parityLetter(format.parity)).arg(format.dataBits);
    return items;
}

} // namespace

QString baudListItem(int rate)
{
    const QString digits = QString::number(rate);
    const QString grouped =
        rate >= 1000 ? digits.chopped(3) + QLatin1Char(',') + digits.right(3) : digits;
    return QStringLiteral("%1bps").arg(grouped, 7);
}

const QStringList BaudItems = baudItems();
const QStringList CommunicationItems = communicationItems();
const QStringList EmulationItems = {" T3150-LC", " ESC/POS"};
const QStringList CodePageItems = {" PC437(USA,Std-EUR)",
                                   " Katakana for Japan",
                                   " PC850(Multilingual)",
                                   " PC860(Portuguese)",
                                   " PC863(Canadian-Fr)",
                                   " PC865(Nordic)",
                                   " Slavonic",
                                   " Russia",
                                   " PC858(Euro)",
                                   " Windows code"};
const QStringList INChrItems = {" U.S.A",
                                " France",
                                " Germany",
                                " U.K",
                                " Denmark I",
                                " Sweden",
                                " Italy",
                                " Spain",
                                " Japan",
                                " Norway",
                                " Denmark II",
                                " Slavonic",
                                " Russia",
                                " Factory define I",
                                " Factory define II",
                                " User define"};
