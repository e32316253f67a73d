#pragma once

#include <QGuiApplication>

namespace ui {

/// Shows `shape` over the whole program for as long as the guard lives. Guards
/// nest: the innermost one shows, and each puts back what was there before it,
/// on every way out of its scope.
class OverrideCursor final {
public:
    explicit OverrideCursor(Qt::CursorShape shape) { QGuiApplication::setOverrideCursor(shape); }
    ~OverrideCursor() { QGuiApplication::restoreOverrideCursor(); }
    Q_DISABLE_COPY_MOVE(OverrideCursor)
};

}  // namespace ui
