#pragma once
// Dialogs answered from a script; every box shown is recorded.

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/Dialogs.h"
#include "tests/app/QtPrinters.h"

namespace qv::test {

class ScriptedDialogs final : public Dialogs {
  public:
    std::vector<QString> messages;
    std::vector<QString> warnings;
    std::vector<QString> stopQuestions;
    std::vector<QString> errors;
    std::vector<std::string> fileFilters;  // filter of each file dialog, in order

    std::deque<bool> warningAnswers;                 // true: OK
    std::deque<bool> stopAnswers;                    // true: "Stop the update"
    std::deque<std::optional<QString>> fileAnswers;  // nullopt: cancel

    void ShowMessage(const QString& text) override { messages.push_back(text); }
    bool ConfirmWarning(const QString& text) override {
        warnings.push_back(text);
        if (warningAnswers.empty()) {
            ADD_FAILURE() << "unexpected warning box: " << text.toStdString();
            return false;
        }
        const bool answer = warningAnswers.front();
        warningAnswers.pop_front();
        return answer;
    }
    bool ConfirmStop(const QString& text) override {
        stopQuestions.push_back(text);
        if (stopAnswers.empty()) {
            ADD_FAILURE() << "unexpected stop question: " << text.toStdString();
            return false;
        }
        const bool answer = stopAnswers.front();
        stopAnswers.pop_front();
        return answer;
    }
    void ShowError(const QString& text) override { errors.push_back(text); }
    std::optional<QString> OpenFile(const FileDialogRequest& request) override {
        return NextFile(request);
    }
    std::optional<QString> SaveFile(const FileDialogRequest& request) override {
        return NextFile(request);
    }

  private:
    std::optional<QString> NextFile(const FileDialogRequest& request) {
        fileFilters.push_back(std::string(request.filter) + " / " + request.defaultExt);
        if (fileAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog: " << request.filter;
            return std::nullopt;
        }
        // The answer is taken apart rather than copied whole: copying an optional QString out
        // of the deque leaves GCC unsure whether the string inside was ever set.
        const bool cancel = !fileAnswers.front().has_value();
        QString answer = cancel ? QString() : *fileAnswers.front();
        fileAnswers.pop_front();
        if (cancel) return std::nullopt;
        return answer;
    }
};

}  // namespace qv::test
