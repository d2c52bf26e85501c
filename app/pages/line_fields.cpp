#include "app/pages/line_fields.h"

#include <QLineEdit>
#include <algorithm>

#include "app/tform1.h"
#include "textops/textfile.h"

namespace ferro::page {

bool HasKeyword(const std::vector<std::string>& keywords) {
    return std::any_of(keywords.begin(), keywords.end(),
                       [](const std::string& k) { return !k.empty(); });
}

std::optional<LineNumbers> ReadLineNumbers(TForm1& form, const char* lineField,
                                           const char* periodField, const char* positionField,
                                           bool intervalMode) {
    LineNumbers n;
    int period = 0, position = 0;
    bool read = false;
    form.Guard([&] {
        n.lineNumber = std::max(1, ReadNumberField(form.FieldText(lineField)));
        period = ReadNumberField(form.FieldText(periodField));
        position = ReadNumberField(form.FieldText(positionField));
        read = true;
    });
    if (!read) return std::nullopt;
    if (intervalMode && period < 1) {
        form.ShowError(QStringLiteral("间隔行数必须大于0,请重新输入!"));
        form.Find<QLineEdit>(periodField)->setFocus();
        return std::nullopt;
    }
    n.interval = LineInterval::Make(period, position);
    return n;
}

}  // namespace ferro::page
