#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace tf::test {

// Runs one of the independent Python tools that write fixtures or read workbooks back: its
// standard output, or nullopt when it failed (its errors are shown as a warning).
std::optional<QByteArray> RunPython(const QStringList& arguments);

}  // namespace tf::test
