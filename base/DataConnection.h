// A two-way byte connection: a source to read from and a sink to write to.
#pragma once

#include "base/DataDest.h"
#include "base/DataSource.h"

namespace orvel {

class DataConnection {
public:
    DataConnection() = default;
    virtual ~DataConnection() = default;
    DataConnection(const DataConnection&) = delete;
    DataConnection& operator=(const DataConnection&) = delete;

    virtual void close() = 0;
    virtual bool isConnected() = 0;
    virtual DataSource& input() = 0;
    virtual DataDest& output() = 0;
};

}  // namespace orvel
