// A stand-in for the person in front of the window: it records every alert and question and
// answers from a script, so modal dialogs never block a test.
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "app/dialogs.h"

namespace ivo::testing {

class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString message, informative, details;
    };
    std::vector<Shown> alerts, informs;
    std::vector<Shown> questions;  // informative holds the buttons, joined by "|"
    int beeps = 0;

    // Answers, used in order; a question without a scripted answer gets the last button
    // (cancel), a file chooser without one is cancelled.
    std::deque<int> answers;
    std::deque<QStringList> openAnswers;
    std::deque<QString> saveAnswers;  // an empty path cancels
    std::vector<QString> proposedNames;

    void alert(const QString& message, const QString& informative,
               const QString& details) override {
        alerts.push_back({message, informative, details});
    }
    void inform(const QString& title, const QString& text) override {
        informs.push_back({title, text, {}});
    }
    int ask(const QString& message, const QString& informative,
            const QStringList& buttons) override {
        questions.push_back({message, informative, buttons.join("|")});
        if (answers.empty()) return static_cast<int>(buttons.size()) - 1;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    QStringList openFiles(const QString&, const QString&) override {
        if (openAnswers.empty()) return {};
        QStringList a = openAnswers.front();
        openAnswers.pop_front();
        return a;
    }
    std::optional<QString> saveFile(const QString& proposed, const QString&,
                                    const QString&) override {
        proposedNames.push_back(proposed);
        if (saveAnswers.empty()) return std::nullopt;
        const QString a = saveAnswers.front();
        saveAnswers.pop_front();
        if (a.isEmpty()) return std::nullopt;
        return a;
    }
    void beep() override { ++beeps; }
};

}  // namespace ivo::testing
