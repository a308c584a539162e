#include "version_comparator.h"

#include <algorithm>

#include <QList>
#include <QStringView>

namespace zonkle {

namespace {

struct Part {
    enum class Kind { Number, Letters };
    Kind kind;
    QStringView text;
};

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Separators are dropped: they only mark where one part ends.
QList<Part> split(const QString& version) {
    const qsizetype dash = version.indexOf(u'-');
    const QStringView text = QStringView(version).left(dash < 0 ? version.size() : dash);
    QList<Part> parts;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype start = i;
        if (isAsciiDigit(text[i])) {
            while (i < text.size() && isAsciiDigit(text[i])) {
                ++i;
            }
            parts.append({Part::Kind::Number, text.sliced(start, i - start)});
        } else if (text[i].isLetter()) {
            while (i < text.size() && text[i].isLetter()) {
                ++i;
            }
            parts.append({Part::Kind::Letters, text.sliced(start, i - start)});
        } else {
            ++i;
        }
    }
    return parts;
}

// Compares digit runs of any length without converting them, so no version overflows.
std::weak_ordering compareNumbers(QStringView left, QStringView right) {
    const auto significant = [](QStringView digits) {
        const auto first = std::find_if(digits.begin(), digits.end(), [](QChar c) { return c != u'0'; });
        return digits.sliced(first - digits.begin());
    };
    left = significant(left);
    right = significant(right);
    if (left.size() != right.size()) {
        return left.size() <=> right.size();
    }
    return left.compare(right) <=> 0;
}

// Pre-release letters sort below a missing part (zero) and below any number.
std::weak_ordering comparePart(const Part* left, const Part* right) {
    static constexpr QStringView zero = u"0";
    const Part missing{Part::Kind::Number, zero};
    const Part& l = left ? *left : missing;
    const Part& r = right ? *right : missing;
    if (l.kind != r.kind) {
        return l.kind == Part::Kind::Letters ? std::weak_ordering::less : std::weak_ordering::greater;
    }
    if (l.kind == Part::Kind::Number) {
        return compareNumbers(l.text, r.text);
    }
    return l.text.compare(r.text, Qt::CaseInsensitive) <=> 0;
}

} // namespace

std::weak_ordering VersionComparator::compare(const QString& left, const QString& right) {
    const QList<Part> l = split(left);
    const QList<Part> r = split(right);
    for (qsizetype i = 0; i < std::max(l.size(), r.size()); ++i) {
        const auto order = comparePart(i < l.size() ? &l[i] : nullptr, i < r.size() ? &r[i] : nullptr);
        if (order != 0) {
            return order;
        }
    }
    return std::weak_ordering::equivalent;
}

} // namespace zonkle
