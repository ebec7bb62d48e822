#pragma once
#include <QApplication>

// The one QApplication of a widget test program, made on first use with the
// offscreen platform and XDG_DATA_HOME pointed at a fresh temporary folder.
QApplication& TestApp();

#include <QString>
#include <ostream>

// Lets test failures print texts readably.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
