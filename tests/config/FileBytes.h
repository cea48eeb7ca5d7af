#pragma once

#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <string>

// The bytes of a test's file, as text gtest prints readably; empty when missing.
inline std::string ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}
