#pragma once

#include "store/store_error.h"

namespace carddav {

// Anything that stops talking to the server: network, TLS, a refused redirect, an unexpected
// status, a response over its size bound, malformed XML. status is the HTTP status, 0 when none.
class DavError : public StoreError {
  public:
    explicit DavError(const QString& description, int status = 0)
        : StoreError(description), status_(status) {}
    int status() const { return status_; }

  private:
    int status_;
};

} // namespace carddav
