// A layout that places its items left to right and starts a new line when
// the next item would not fit, like words of a paragraph. Every item gets its
// size hint, so a narrow window wraps the fields instead of squeezing them.
#pragma once

#include <QLayout>
#include <QList>

namespace ferro {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(int horizontalSpacing = 8, int verticalSpacing = 3);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in rect (only measures when apply is false); returns
    // the height used.
    int Arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> items_;
    int hSpace_;
    int vSpace_;
};

}  // namespace ferro
