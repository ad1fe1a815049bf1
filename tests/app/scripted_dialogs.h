// A stand-in for the person in front of the window: it records every alert and question and
// answers from a script, so modal dialogs never block a test.
#pragma once

#include <deque>
#include <optional>
#include <utility>
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
    std::vector<QString> proposedNames;
    int beeps = 0;
    // Answers for the next question and the next save dialog, used once; without one a
    // question gets its last button (cancel) and a save dialog is cancelled.
    std::optional<int> answer;
    QString savePath;
    // Text prompts shown (title, then the pre-filled value) and the next answer, used once;
    // without one the prompt is cancelled.
    std::vector<std::pair<QString, QString>> prompts;
    std::optional<QString> textAnswer;

    void alert(const QString& message, const QString& informative,
               const QString& details) override {
        alerts.push_back({message, informative, details});
    }
    void inform(const QString&, const QString&) override {}
    int ask(const QString& message, const QString& informative,
            const QStringList& buttons) override {
        questions.push_back({message, informative, buttons.join("|")});
        return std::exchange(answer, std::nullopt).value_or(static_cast<int>(buttons.size()) - 1);
    }
    std::optional<QString> askText(const QString& title, const QString& value) override {
        prompts.emplace_back(title, value);
        return std::exchange(textAnswer, std::nullopt);
    }
    // Files chosen in the next open dialog, used once; without them it is cancelled.
    QStringList filesAnswer;
    QStringList openFiles(const QString&, const QString&) override {
        return std::exchange(filesAnswer, {});
    }
    std::optional<QString> saveFile(const QString& proposed, const QString&,
                                    const QString&) override {
        proposedNames.push_back(proposed);
        const QString path = std::exchange(savePath, {});
        return path.isEmpty() ? std::nullopt : std::optional(path);
    }
    void beep() override { ++beeps; }

    // Number prompts: each is recorded with its defaults and answered from `numbers`, in
    // order; an empty answer, or none queued, cancels the prompt.
    struct NumberPrompt {
        QString title;
        std::vector<double> values;
    };
    std::vector<NumberPrompt> numberPrompts;
    std::deque<std::vector<double>> numbers;

    std::optional<double> askNumber(const QString& title, double value) override {
        const auto v = askNumbers(title, {}, {QString()}, {value});
        if (!v || v->empty()) return std::nullopt;
        return v->front();
    }
    std::optional<std::vector<double>> askNumbers(const QString& title, const QString&,
                                                  const QStringList&,
                                                  const std::vector<double>& values) override {
        numberPrompts.push_back({title, values});
        if (numbers.empty()) return std::nullopt;
        std::vector<double> answer = std::move(numbers.front());
        numbers.pop_front();
        if (answer.empty()) return std::nullopt;
        return answer;
    }
};

}  // namespace ivo::testing
