#pragma once
// Guards that take an event handler or a table's screen updates out of play for a scope and put
// them back when it ends, also after a failure; and one that sets a flag for a scope.

#include <utility>

#include "TDataSet.h"

namespace kova {

template <typename T>
class Desligado {
public:
    explicit Desligado(T& handler) : ref_(handler), saved_(std::move(handler)) { ref_ = nullptr; }
    ~Desligado() { ref_ = std::move(saved_); }
    Desligado(const Desligado&) = delete;
    Desligado& operator=(const Desligado&) = delete;

private:
    T& ref_;
    T saved_;
};

// A flag set for a scope and cleared when it ends, also after a failure.
class Ligado {
public:
    explicit Ligado(bool& flag) : flag_(flag) { flag_ = true; }
    ~Ligado() { flag_ = false; }
    Ligado(const Ligado&) = delete;
    Ligado& operator=(const Ligado&) = delete;

private:
    bool& flag_;
};

class ControlesSuspensos {
public:
    explicit ControlesSuspensos(TDataSet& t) : t_(t) { t_.DisableControls(); }
    ~ControlesSuspensos() { t_.EnableControls(); }
    ControlesSuspensos(const ControlesSuspensos&) = delete;
    ControlesSuspensos& operator=(const ControlesSuspensos&) = delete;

private:
    TDataSet& t_;
};

}  // namespace kova
