#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The start-up and shut-down of the logging framework, and where it finds its files.

// The program folder holds krlog.config and the "log" folder. Until it is set, the folder of
// the running executable.
void setLogProgramFolder(const QString& folder);
QString getLogProgramFolder();
// The "log" folder beside the program, with a trailing separator.
QString getLogFolderName();
// The full path of krlog.config in the program folder.
QString getLogConfigFileName();

// The 23 lines used when krlog.config is absent.
QStringList getDefaultLogConfiguration();
// The lines of a configuration file's bytes: Windows-1252 unless a byte-order mark names the
// encoding; lines end in CR LF, LF or CR.
QStringList splitLogConfiguration(const QByteArray& bytes);
// Reads krlog.config (or takes the defaults) into a fresh log manager. An unreadable file
// gives the defaults and one line on standard error.
void loadLogConfiguration();

// The start-up sequence: registers the handler and formatter classes and loads the
// configuration from the program folder. No logger exists afterwards.
void startLogging(const QString& programFolder);
// The shut-down: resets the log manager so file handlers complete and close their files.
// The program entry makes this call on every way out.
void shutdownLogging();
