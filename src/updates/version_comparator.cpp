#include "version_comparator.h"

#include <algorithm>

#include <QList>
#include <QStringView>

namespace zonkle {

namespace {

enum class Kind { Number, Letters, Period, Separator, Dash };

struct Part {
    Kind kind;
    QStringView text;
};

Kind kindOf(QChar c) {
    if (c == u'.') {
        return Kind::Period;
    }
    if (c == u'-') {
        return Kind::Dash;
    }
    if (c.isDigit()) {
        return Kind::Number;
    }
    if (c.isSpace() || c.isPunct()) {
        return Kind::Separator;
    }
    return Kind::Letters;
}

bool isSeparator(Kind kind) {
    return kind == Kind::Period || kind == Kind::Separator;
}

// Digits and letters gather into runs; each separator is a part of its own. A dash ends the
// version (what follows is a commit hash or similar), unless it is the first character.
QList<Part> split(QStringView version) {
    QList<Part> parts;
    qsizetype start = 0;
    for (qsizetype i = 1; i <= version.size(); ++i) {
        const Kind previous = kindOf(version[i - 1]);
        const bool end = i == version.size() || kindOf(version[i]) == Kind::Dash;
        if (end || kindOf(version[i]) != previous || isSeparator(previous)) {
            parts.append({previous, version.sliced(start, i - start)});
            start = i;
        }
        if (end) {
            break;
        }
    }
    return parts;
}

qsizetype leadingNumbersAndPeriods(const QList<Part>& parts) {
    const auto end = std::find_if(parts.begin(), parts.end(),
                                  [](const Part& p) { return p.kind != Kind::Number && p.kind != Kind::Period; });
    return end - parts.begin();
}

// "1.1" against "1.0.0" becomes "1.1.0", so that "1.0" and "1.0.0" are equal.
void pad(QList<Part>& shorter, qsizetype shorterLead, const QList<Part>& longer, qsizetype longerLead) {
    static constexpr QStringView zero = u"0";
    static constexpr QStringView period = u".";
    for (qsizetype i = shorterLead; i < longerLead; ++i) {
        const Kind kind = longer[i].kind;
        shorter.insert(i, {kind, kind == Kind::Number ? zero : period});
    }
}

// Digit runs of any length compare by value without being converted.
std::weak_ordering compareNumbers(QStringView left, QStringView right) {
    const auto significant = [](QStringView digits) {
        const auto first = std::find_if(digits.begin(), digits.end(), [](QChar c) { return c.digitValue() != 0; });
        return digits.sliced(first - digits.begin());
    };
    left = significant(left);
    right = significant(right);
    if (left.size() != right.size()) {
        return left.size() <=> right.size();
    }
    for (qsizetype i = 0; i < left.size(); ++i) {
        if (left[i].digitValue() != right[i].digitValue()) {
            return left[i].digitValue() <=> right[i].digitValue();
        }
    }
    return std::weak_ordering::equivalent;
}

std::weak_ordering comparePart(const Part& l, const Part& r) {
    if (l.kind == r.kind || (isSeparator(l.kind) && isSeparator(r.kind))) {
        if (l.kind == Kind::Number) {
            return compareNumbers(l.text, r.text);
        }
        if (l.kind == Kind::Letters) {
            return l.text.compare(r.text, Qt::CaseSensitive) <=> 0;
        }
        return std::weak_ordering::equivalent;
    }
    // Letters lose to anything; of a number and a separator (or a leading dash), the number wins.
    if (r.kind == Kind::Letters) {
        return std::weak_ordering::greater;
    }
    if (l.kind == Kind::Letters) {
        return std::weak_ordering::less;
    }
    return l.kind == Kind::Number ? std::weak_ordering::greater : std::weak_ordering::less;
}

} // namespace

std::weak_ordering VersionComparator::compare(const QString& left, const QString& right) {
    QList<Part> l = split(left);
    QList<Part> r = split(right);
    const qsizetype leftLead = leadingNumbersAndPeriods(l);
    const qsizetype rightLead = leadingNumbersAndPeriods(r);
    if (leftLead < rightLead) {
        pad(l, leftLead, r, rightLead);
    } else if (rightLead < leftLead) {
        pad(r, rightLead, l, leftLead);
    }

    const qsizetype common = std::min(l.size(), r.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (const auto order = comparePart(l[i], r[i]); order != 0) {
            return order;
        }
    }
    if (l.size() == r.size()) {
        return std::weak_ordering::equivalent;
    }
    // The longer version is newer, unless what it goes on with is letters (a pre-release).
    const bool leftLonger = l.size() > r.size();
    const bool lettersFollow = (leftLonger ? l : r)[common].kind == Kind::Letters;
    return leftLonger != lettersFollow ? std::weak_ordering::greater : std::weak_ordering::less;
}

} // namespace zonkle
