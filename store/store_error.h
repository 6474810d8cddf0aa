#pragma once

#include <QString>
#include <stdexcept>

// Every failure of the contact store travels as one of these; the window model turns its
// description into the message the user reads.
class StoreError : public std::runtime_error {
  public:
    explicit StoreError(const QString& description)
        : std::runtime_error(description.toStdString()) {}
    QString description() const { return QString::fromStdString(what()); }
};
