#include "VersionInfo.h"

#include "Version.h"

QString versionMessage(const QString &product, int major, int minor, const QString &copyright,
                       const QString &comments)
{
    // A number is shown with a blank where its sign would stand; the minor version always
    // with two digits, the last two of minor + 100.
    auto signedNumber = [](int n) {
        return (n < 0 ? QString() : QStringLiteral(" ")) + QString::number(n);
    };
    return product + QStringLiteral("\n\n       Version ") + signedNumber(major) +
           QLatin1Char('.') + signedNumber(minor + 100).right(2) + QStringLiteral("\n\n") +
           copyright + QStringLiteral("\n    ") + comments;
}

QString versionMessage()
{
    return versionMessage(QString::fromUtf8(Version::ProductName), Version::Major, Version::Minor,
                          QString::fromUtf8(Version::Copyright),
                          QString::fromUtf8(Version::Comments));
}
