#pragma once
// Finds a dialog's child widget by its object name, failing the test (not crashing it) when the
// widget is missing.
#include <gtest/gtest.h>

#include <QWidget>

namespace tw::ui {

template <typename T>
T* child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

}  // namespace tw::ui
