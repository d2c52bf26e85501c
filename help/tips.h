// The online tips: where they come from, how a tips line reads, and which
// targets a click may open. A tips line is the tip text, the marker "@#$"
// and the tip's target.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <string_view>

namespace ferro {

// The maker's web site; the tips service lives on the same host.
inline constexpr const char* kHomePage = "http://www.ferrovan.cn/";
inline constexpr const char* kTipsPath = "/tips.asp";
QUrl HomePageUrl();
QUrl DefaultTipsUrl();

struct TipLine {
    QString text;  // what the tips line shows
    QString link;  // what a click opens; empty for none
};

// Splits at the first "@#$" only, so a target may hold further markers. A
// line without the marker is all tip text and has no target.
TipLine ParseTipLine(const QString& line);

// The downloaded tips (GBK bytes) as lines: CR LF, LF and CR each end a
// line, a break at the very end adds no empty line. Blank lines carry no tip
// and are left out. Lines are cut before decoding (CR and LF never occur
// inside a GBK character) and the marker is looked for after it, so a
// Chinese character whose second byte is '@' is never mistaken for one.
QStringList TipsLines(std::string_view gbk);

// The address a tip's target may be opened as: only http and https
// addresses with a host. The tips arrive over plain HTTP from a server that
// proves nothing about itself, so anything else (a program, a local file, a
// script address) is refused: an empty QUrl.
QUrl TipWebAddress(const QString& link);

}  // namespace ferro
