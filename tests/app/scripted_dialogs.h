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
        QString message, informative, details;  // a question's details are its buttons, "|"-joined
    };
    std::vector<Shown> alerts, questions;
    int beeps = 0;
    // Answers, used in order: a question without one gets the last button (cancel), a save
    // dialog without one (or with an empty path) is cancelled.
    std::deque<int> answers;
    std::deque<QString> saveAnswers;
    std::vector<QString> proposedNames;

    void alert(const QString& message, const QString& informative,
               const QString& details) override {
        alerts.push_back({message, informative, details});
    }
    void inform(const QString&, const QString&) override {}
    int ask(const QString& message, const QString& informative,
            const QStringList& buttons) override {
        questions.push_back({message, informative, buttons.join("|")});
        return answers.empty() ? static_cast<int>(buttons.size()) - 1 : next(answers);
    }
    QStringList openFiles(const QString&, const QString&) override { return {}; }
    std::optional<QString> saveFile(const QString& proposed, const QString&,
                                    const QString&) override {
        proposedNames.push_back(proposed);
        const QString path = saveAnswers.empty() ? QString() : next(saveAnswers);
        return path.isEmpty() ? std::nullopt : std::optional(path);
    }
    void beep() override { ++beeps; }

private:
    template <class T>
    static T next(std::deque<T>& script) {
        T a = script.front();
        script.pop_front();
        return a;
    }
};

}  // namespace ivo::testing
