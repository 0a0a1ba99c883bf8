#pragma once

// Finding a window's controls by object name, as a user finds them by what they show: a control
// that is not there fails the test at once, with its name.

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace qv::test {

template <class T> T* Child(const QObject* parent, const QString& name) {
  T* child = parent ? parent->findChild<T*>(name) : nullptr;
  if (!child) {
    // Built piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + std::string.
    std::string what = "no control named ";
    what += name.toStdString();
    what += " of type ";
    what += T::staticMetaObject.className();
    throw std::logic_error(what);
  }
  return child;
}

// Controls of numbered rows: "edServ" and 1 give edServ1.
template <class T> T* ChildNo(const QObject* parent, const char* prefix, int number) {
  return Child<T>(parent, QString::fromLatin1(prefix) + QString::number(number));
}

} // namespace qv::test
