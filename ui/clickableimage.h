#pragma once

#include <QAbstractButton>

namespace ui {

/// A picture that reacts to a click, drawn as it is with no button frame.
///
/// Being a button underneath, it gets the button's click handling (press and
/// release inside) and tells screen readers it can be pressed; it never takes
/// the keyboard focus.
class ClickableImage final : public QAbstractButton {
    Q_OBJECT
public:
    explicit ClickableImage(QWidget* parent = nullptr);
    Q_DISABLE_COPY_MOVE(ClickableImage)

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace ui
