// Test stand-ins for the file dialog and the message boxes: they answer from
// a script and record what they were asked.
#pragma once

#include <QPrinter>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>

#include "ui/dialogs.h"

namespace levelnet::ui::testing {

struct DialogCall {
  bool save = false;
  QString filter;
  QString startName;
};

class ScriptedFileDialogs : public FileDialogs {
 public:
  // Answers in order; a null QString or an empty script cancels.
  std::deque<QString> answers;
  std::vector<DialogCall> calls;
  // Runs when a dialog is shown, before it answers.
  std::function<void()> onShow;

  std::optional<QString> openFileName(QWidget*, const QString& filter, const QString& fileName) override {
    return answer(false, filter, fileName);
  }
  std::optional<QString> saveFileName(QWidget*, const QString& filter, const QString& fileName) override {
    return answer(true, filter, fileName);
  }
  // The filter each save dialog with several filters answers with; when
  // none is scripted, the first, which the real dialog starts with and keeps
  // whatever suffix is typed.
  std::deque<int> filterAnswers;
  std::optional<ChosenFile> saveFileAs(QWidget* parent, const QString& title, const QStringList& filters,
                                       const QString& fileName) override {
    std::optional<ChosenFile> chosen = FileDialogs::saveFileAs(parent, title, filters, fileName);
    if (chosen && !filterAnswers.empty()) chosen->filterIndex = filterAnswers.front();
    if (!filterAnswers.empty()) filterAnswers.pop_front();
    return chosen;
  }
  // The print dialog prints to this PDF file; empty: the dialog is cancelled.
  QString printerFile;
  int printDialogs = 0;
  bool choosePrinter(QWidget*, QPrinter& printer) override {
    ++printDialogs;
    if (printerFile.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printerFile);
    return true;
  }

 private:
  std::optional<QString> answer(bool save, const QString& filter, const QString& fileName) {
    calls.push_back({save, filter, fileName});
    if (onShow) onShow();
    if (answers.empty()) return std::nullopt;
    const QString a = answers.front();
    answers.pop_front();
    if (a.isNull()) return std::nullopt;
    return std::make_optional(a);
  }
};

struct BoxCall {
  bool question = false;
  QString title;
  QString text;
};

class ScriptedMessageBoxes : public MessageBoxes {
 public:
  SaveAnswer answer = SaveAnswer::discard;  // the answer to every question
  std::vector<BoxCall> calls;
  std::vector<SaveQuestion> kinds;  // how each question was put
  // Runs when a warning is shown, before it is recorded.
  std::function<void()> onWarn;

  SaveAnswer askToSave(QWidget*, const QString& title, const QString& text, SaveQuestion kind) override {
    calls.push_back({true, title, text});
    kinds.push_back(kind);
    return answer;
  }
  int questions() const {
    int n = 0;
    for (const BoxCall& c : calls) n += c.question ? 1 : 0;
    return n;
  }
  // Answers to askText in order; a null QString or an empty script cancels.
  std::deque<QString> textAnswers;
  std::vector<QString> textQuestions;
  std::optional<QString> askText(QWidget*, const QString&, const QString& label, const QString&) override {
    textQuestions.push_back(label);
    if (textAnswers.empty()) return std::nullopt;
    const QString a = textAnswers.front();
    textAnswers.pop_front();
    if (a.isNull()) return std::nullopt;
    return std::make_optional(a);
  }
  // Answers to askChoice in order (an index; -1 or an empty script cancels).
  std::deque<int> choiceAnswers;
  std::vector<QStringList> choices;  // the answers each question offered
  std::optional<int> askChoice(QWidget*, const QString& title, const QString& text,
                               const QStringList& answers) override {
    calls.push_back({true, title, text});
    choices.push_back(answers);
    if (choiceAnswers.empty()) return std::nullopt;
    const int a = choiceAnswers.front();
    choiceAnswers.pop_front();
    if (a < 0) return std::nullopt;
    return a;
  }
  void warn(QWidget*, const QString& title, const QString& text) override {
    if (onWarn) onWarn();
    calls.push_back({false, title, text});
  }

  int warnings() const {
    int n = 0;
    for (const BoxCall& c : calls) n += c.question ? 0 : 1;
    return n;
  }
  QString lastText() const { return calls.empty() ? QString() : calls.back().text; }
};

}  // namespace levelnet::ui::testing
