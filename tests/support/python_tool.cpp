#include "support/python_tool.h"

#include <QProcess>
#include <QtGlobal>

namespace tf::test {

std::optional<QByteArray> RunPython(const QStringList& arguments) {
    QProcess python;
    python.start(QStringLiteral(TALLYFORM_PYTHON), arguments);
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit ||
        python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return std::nullopt;
    }
    return python.readAllStandardOutput();
}

}  // namespace tf::test
