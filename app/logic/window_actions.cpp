#include "app/logic/window_actions.h"

#include "app/logic/compact_action.h"
#include "app/logic/transfer_log.h"
#include "app/logic/undo_action.h"

namespace app {

bool undoLastTransfer(form::Form& form, form::MainWindowPort& port, const AskYesNo& ask) {
    if (form.transferRunning) return false;
    const std::string database = port.fieldText(form::Field::Database);
    const UndoOffer offer = undoOffer(database);
    if (!offer.available) {
        port.messageBox(offer.refusal, form::kMsgCritical, offer.title);
        return false;
    }
    if (!ask(offer.title, offer.question)) return false;
    // The data controls let go of the database: the undo rewrites it underneath them.
    form.adcDestination = {};
    const UndoAnswer answer = undoAgreed(database);
    port.messageBox(answer.message, answer.undone ? form::kMsgOkOnly : form::kMsgCritical,
                    offer.title);
    return true;
}

void compactDatabase(const form::Form& form, form::MainWindowPort& port, const AskYesNo& ask,
                     const std::function<void()>& repaint) {
    const std::string database = port.fieldText(form::Field::Database);
    const CompactQuestion question = compactQuestion(database, form.transferRunning);
    if (!question.mayCompact) {
        port.messageBox(question.text, form::kMsgCritical, question.title);
        return;
    }
    if (!ask(question.title, question.text)) return;
    port.setMousePointer(form::kPointerHourglass);
    const CompactOutcome outcome =
        compactPayrollDatabase(database, [&port, &repaint](const std::string& line) {
            port.setLabelCaption(form::Label::ProcessStatus, line);
            repaint();
        });
    port.setLabelCaption(form::Label::ProcessStatus, std::string());
    port.setMousePointer(form::kPointerDefault);
    port.messageBox(outcome.text, outcome.compacted ? form::kMsgOkOnly : form::kMsgCritical,
                    outcome.title);
}

void checkFile(form::Form& form, form::MainWindowPort& port,
               const std::function<void()>& transfer) {
    if (form.transferRunning) {
        transfer();
        return;
    }
    form.checkOnly = true;
    transfer();
    form.checkOnly = false;
    const CheckFileMessage message = checkFileMessage(form.result);
    if (message.show) port.messageBox(message.text, message.style, message.title);
}

}  // namespace app
