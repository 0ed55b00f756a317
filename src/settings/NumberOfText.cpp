#include "NumberOfText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <type_traits>

namespace {

// More significant digits than this never change a double's rounding once a sticky digit stands
// for the dropped ones (correct rounding needs at most 767).
constexpr int MaxDigits = 800;
// Exponents are clamped far beyond a double's range so that no count can overflow.
constexpr std::int64_t ExponentClamp = 1'000'000'000;

template<typename Text> class Scanner
{
public:
    explicit Scanner(Text text)
        : m_text(text)
    {}

    // The next character that is not a blank or tab, or 0 at the end (a NUL ends a number anyway).
    char16_t peek()
    {
        while (m_pos < m_text.size() && (at(m_pos) == u' ' || at(m_pos) == u'\t'))
            ++m_pos;
        return m_pos < m_text.size() ? at(m_pos) : char16_t(0);
    }
    void next() { ++m_pos; }

private:
    char16_t at(qsizetype i) const
    {
        if constexpr (std::is_same_v<Text, QStringView>)
            return m_text[i].unicode();
        else
            return char16_t(static_cast<unsigned char>(m_text[i]));
    }

    Text m_text;
    qsizetype m_pos = 0;
};

int digitValue(char16_t c, int base)
{
    int v = 99;
    if (c >= u'0' && c <= u'9')
        v = c - u'0';
    else if (c >= u'a' && c <= u'f')
        v = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        v = c - u'A' + 10;
    return v < base ? v : -1;
}

template<typename Text> double radixNumber(Scanner<Text> &s, int base)
{
    // Past 2^53 the digits no longer change much; past DBL_MAX the sum simply becomes infinite.
    double value = 0;
    for (int d; (d = digitValue(s.peek(), base)) >= 0; s.next())
        value = value * base + d;
    return value;
}

template<typename Text> double decimalNumber(Scanner<Text> &s)
{
    bool negative = false;
    if (s.peek() == u'+' || s.peek() == u'-') {
        negative = s.peek() == u'-';
        s.next();
    }

    // value = digits * 10^scale, digits without leading zeros.
    std::array<char, MaxDigits + 1> digits{};
    int count = 0;
    bool sticky = false; // a dropped digit was not zero
    bool anyDigit = false;
    std::int64_t scale = 0;

    for (char16_t c; (c = s.peek()) >= u'0' && c <= u'9'; s.next()) {
        anyDigit = true;
        if (count == 0 && c == u'0')
            continue;
        if (count < MaxDigits) {
            digits[count++] = char(c);
        } else {
            ++scale;
            sticky = sticky || c != u'0';
        }
    }
    if (s.peek() == u'.') {
        s.next();
        for (char16_t c; (c = s.peek()) >= u'0' && c <= u'9'; s.next()) {
            anyDigit = true;
            if (count == 0 && c == u'0') {
                --scale;
            } else if (count < MaxDigits) {
                digits[count++] = char(c);
                --scale;
            } else {
                sticky = sticky || c != u'0';
            }
        }
    }
    if (!anyDigit)
        return 0;

    const char16_t e = s.peek();
    if (e == u'E' || e == u'e' || e == u'D' || e == u'd') {
        s.next();
        bool expNegative = false;
        if (s.peek() == u'+' || s.peek() == u'-') {
            expNegative = s.peek() == u'-';
            s.next();
        }
        // Without digits the exponent is not part of the number; nothing has been added yet.
        std::int64_t exponent = 0;
        for (char16_t c; (c = s.peek()) >= u'0' && c <= u'9'; s.next()) {
            if (exponent < ExponentClamp)
                exponent = exponent * 10 + (c - u'0');
        }
        scale += expNegative ? -exponent : exponent;
    }

    if (count == 0)
        return 0;
    if (sticky) {
        digits[count++] = '1';
        --scale;
    }
    // Decimal exponent of the leading digit.
    const std::int64_t magnitude = count - 1 + scale;
    double value = 0;
    if (magnitude > 400) {
        value = std::numeric_limits<double>::infinity();
    } else if (magnitude >= -400) {
        std::array<char, MaxDigits + 32> text{};
        std::copy(digits.begin(), digits.begin() + count, text.begin());
        const int tail = std::snprintf(text.data() + count, text.size() - count, "e%lld",
                                       static_cast<long long>(scale));
        const auto result = std::from_chars(text.data(), text.data() + count + tail, value);
        if (result.ec == std::errc::result_out_of_range)
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

template<typename Text> double parse(Text text)
{
    Scanner<Text> s(text);
    if (s.peek() == u'&') {
        s.next();
        const char16_t kind = s.peek();
        if (kind == u'H' || kind == u'h') {
            s.next();
            return radixNumber(s, 16);
        }
        if (kind == u'O' || kind == u'o') {
            s.next();
            return radixNumber(s, 8);
        }
        return 0;
    }
    return decimalNumber(s);
}

// Half to even without depending on the floating-point rounding mode.
std::optional<double> roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        return below + 1;
    return below;
}

} // namespace

double numberOfText(QStringView text)
{
    return parse(text);
}

double numberOfText(QByteArrayView text)
{
    return parse(text);
}

std::optional<int> roundToByte(double value)
{
    const auto r = roundHalfEven(value);
    if (!r || *r < 0 || *r > 255)
        return std::nullopt;
    return int(*r); // -0.0 becomes 0
}

std::optional<int> roundToInt32(double value)
{
    const auto r = roundHalfEven(value);
    if (!r || *r < double(std::numeric_limits<std::int32_t>::min()) ||
        *r > double(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return int(*r);
}
