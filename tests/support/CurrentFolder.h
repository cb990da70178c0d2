#pragma once

#include <QDir>
#include <QString>

namespace uc::test {

// Makes a folder the process's current folder for a scope: the relative folders of an
// installation without settings (the reports folder "Relatorios\") land there.
class CurrentFolder {
public:
    explicit CurrentFolder(const QString& path) : m_previous(QDir::currentPath()) { QDir::setCurrent(path); }
    ~CurrentFolder() { QDir::setCurrent(m_previous); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    QString m_previous;
};

} // namespace uc::test
