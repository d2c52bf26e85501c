#include "ops/field.h"

#include <cstdio>
#include <stdexcept>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/times.h"

namespace ferro::ops {

const Field* FindField(const FieldTable& table, std::string_view name) {
    for (const Field& f : table)
        if (name == f.name) return &f;
    return nullptr;
}

bool Fits(const Field& field, std::string_view text) {
    switch (field.kind) {
        case FieldKind::Text:
        case FieldKind::Number:
        case FieldKind::Memo:
            return true;
        case FieldKind::Flag:
            return text == "1" || text == "0";
        case FieldKind::Choice:
            for (const Choice& c : field.choices)
                if (text == c.value) return true;
            return false;
        case FieldKind::Date: {
            CalendarDate d;
            return ReadDate(text, d);
        }
        case FieldKind::Time: {
            TimeOfDay t;
            return ReadTime(text, t);
        }
    }
    return false;
}

FieldValues::FieldValues(const FieldTable& table) : table_(&table) {
    values_.reserve(table.size());
    for (const Field& f : table) values_.emplace_back(f.fallback);
}

std::size_t FieldValues::IndexOf(std::string_view name) const {
    if (table_)
        for (std::size_t i = 0; i < table_->size(); ++i)
            if (name == (*table_)[i].name) return i;
    throw std::logic_error("no field " + std::string(name));
}

const std::string& FieldValues::Text(std::string_view name) const { return values_[IndexOf(name)]; }

void FieldValues::Set(std::string_view name, std::string text) {
    values_[IndexOf(name)] = std::move(text);
}

std::string ToText(const FieldValues& values) {
    std::string out;
    for (const Field& f : values.table()) {
        out += f.name;
        out += '=';
        for (char c : values.Text(f.name)) {
            if (c == '\\') out += "\\\\";
            else if (c == '\r') out += "\\r";
            else if (c == '\n') out += "\\n";
            else out += c;
        }
        out += '\n';
    }
    return out;
}

FieldValues FromText(const FieldTable& table, std::string_view text) {
    FieldValues values(table);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const Field* field = FindField(table, line.substr(0, eq));
        if (!field) continue;
        std::string value;
        bool ok = true;
        for (std::size_t i = eq + 1; i < line.size(); ++i) {
            if (line[i] != '\\') {
                value += line[i];
                continue;
            }
            const char next = i + 1 < line.size() ? line[++i] : '\0';
            if (next == '\\') value += '\\';
            else if (next == 'r') value += '\r';
            else if (next == 'n') value += '\n';
            else ok = false;
        }
        if (ok && Fits(*field, value)) values.Set(field->name, std::move(value));
    }
    return values;
}

bool ReadDate(std::string_view text, CalendarDate& date) {
    const std::string t = Trim(text);
    int32_t y = 0, m = 0, d = 0;
    const std::size_t a = t.find('-'), b = t.find('-', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos || !TryStrToInt(t.substr(0, a), y) ||
        !TryStrToInt(t.substr(a + 1, b - a - 1), m) || !TryStrToInt(t.substr(b + 1), d))
        return false;
    if (y < 1601 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    date = CalendarDate{y, m, d};
    return true;
}

namespace {

// ".5", ".25", ".125": milliseconds; false for anything else.
bool ReadMilliseconds(std::string_view fraction, int& ms) {
    if (fraction.empty() || fraction.size() > 3) return false;
    ms = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = i < fraction.size() ? fraction[i] : '0';
        if (c < '0' || c > '9') return false;
        ms = ms * 10 + (c - '0');
    }
    return true;
}

}  // namespace

bool ReadTime(std::string_view text, TimeOfDay& time) {
    const std::string t = Trim(text);
    int32_t part[3] = {0, 0, 0};
    int ms = 0;
    std::size_t start = 0;
    int count = 0;
    bool ok = true;
    while (ok && count < 3) {
        const std::size_t colon = t.find(':', start);
        std::string piece = t.substr(start, colon - start);
        if (count == 2) {
            const std::size_t dot = piece.find('.');
            if (dot != std::string::npos) {
                ok = ReadMilliseconds(std::string_view(piece).substr(dot + 1), ms);
                piece.resize(dot);
            }
        }
        ok = ok && TryStrToInt(piece, part[count++]);
        if (colon == std::string::npos) break;
        start = colon + 1;
        ok = ok && count < 3;
    }
    ok = ok && count >= 2 && part[0] >= 0 && part[0] < 24 && part[1] >= 0 && part[1] < 60 &&
         part[2] >= 0 && part[2] < 60;
    if (!ok) return false;
    time = TimeOfDay{part[0], part[1], part[2], ms};
    return true;
}

std::string DateText(const CalendarDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string TimeText(const TimeOfDay& time) {
    char text[16];
    if (time.millisecond)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", time.hour, time.minute, time.second,
                      time.millisecond);
    else
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    return text;
}

}  // namespace ferro::ops
