// A test fixture that installs a headless backend and drives modal dialogs from a list of steps.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/Dialog.h"
#include "ui/headless/HeadlessBackend.h"

class HeadlessFixture : public ::testing::Test {
protected:
    void SetUp() override { SetUiBackend(&m_ui); }
    void TearDown() override { SetUiBackend(nullptr); }

    // Each pump call runs the next step; the script ends when the steps run out.
    void Script(std::vector<std::function<void()>> steps) {
        m_steps = std::move(steps);
        m_nNext = 0;
        m_ui.SetPump([this] {
            if (m_nNext >= m_steps.size()) {
                return false;
            }
            m_steps[m_nNext++]();
            return true;
        });
    }

    // Runs a dialog of template nId whose first pump step is body.
    INT_PTR RunInDialog(UINT nId, const std::function<void(CDialog&)>& body) {
        CDialog dialog(nId);
        Script({[&] { body(dialog); }});
        return dialog.DoModal();
    }

    std::vector<std::string> EventLines() const {
        std::vector<std::string> lines;
        for (const SUiEvent& event : m_ui.Events()) {
            lines.push_back(DescribeUiEvent(event));
        }
        return lines;
    }

    CHeadlessBackend m_ui;
    std::vector<std::function<void()>> m_steps;
    std::size_t m_nNext = 0;
};
