#include "workstation/dialoghooks.h"

void RunSettingsDialog(QWidget*) {}

void RunLayoutEditor(QWidget*) {}

std::optional<CurrentProduct> RunProductSearch(QWidget*, CVarnetApp&) {
    return std::nullopt;
}
