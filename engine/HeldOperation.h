#pragma once
// Holds an operation of many steps together (CLibrarian::BeginHeldOperation): from construction
// to destruction, a unit that goes in the middle is told once, with the cause, and every step
// after the loss fails at once. Used on the thread that runs the engine.

#include "engine/Librarian.h"

class CHeldOperation {
public:
    explicit CHeldOperation(CLibrarian& engine) : m_engine(engine) {
        m_engine.BeginHeldOperation();
    }
    ~CHeldOperation() { m_engine.EndHeldOperation(); }
    CHeldOperation(const CHeldOperation&) = delete;
    CHeldOperation& operator=(const CHeldOperation&) = delete;

private:
    CLibrarian& m_engine;
};
