#pragma once

#include "filesystem.h"

#include <QStringList>

/// A TextStream that collects the lines written, in memory.
class LineStream final : public fsservice::TextStream {
public:
    QStringList lines;
    void WriteLine(QStringView text) override { lines << text.toString(); }
    void Close() override {}
};
