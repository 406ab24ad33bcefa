#include "app/command_line.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (const std::optional<int> rc = qm::RunCommandLine(argc, argv)) return *rc;
    QApplication app(argc, argv);
    return qm::RunProgram();
}
