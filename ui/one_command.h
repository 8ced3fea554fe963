#pragma once
// The many buttons that each run one command: run the operation on a worker; on failure show
// the failure prefix followed by the result text (the result text alone when there is no
// prefix); on success hand what the command brought back to the controls, on the GUI thread.
//
//     // a query: the answer lands in the controls
//     zm::runQuery<MirrorState>(this, session(), "Get mirror failed!:",
//         [](zm::Commands &c, MirrorState &s) { return c.getMirror(s.source, s.mode); },
//         [this](const MirrorState &s) { ui->uartRadio->setChecked(s.source == 1); });
//     // a command without an answer
//     zm::runCommand(this, session(), "Set mirror failed!:",
//         [src, mode](zm::Commands &c) { return c.setMirror(src, mode); });

#include "ui/worker_runner.h"

#include <QString>

#include <utility>

namespace zm {

template <typename Value, typename Op, typename Apply>
std::shared_ptr<WorkerJob> runQuery(QWidget *window, LinkSession &session, const QString &failurePrefix, Op op,
                                    Apply apply, WorkerRunner::Options options = {})
{
    return WorkerRunner::start(
        window, session,
        [failurePrefix, op = std::move(op), apply = std::move(apply)](Worker &w) {
            Value value{};
            const uint8_t r = op(w.commands(), value);
            if (r != 0)
                return w.failure(r, failurePrefix);
            w.gui([&] { apply(std::as_const(value)); });
        },
        options);
}

template <typename Op>
std::shared_ptr<WorkerJob> runCommand(QWidget *window, LinkSession &session, const QString &failurePrefix, Op op,
                                      WorkerRunner::Options options = {})
{
    return WorkerRunner::start(
        window, session,
        [failurePrefix, op = std::move(op)](Worker &w) {
            if (const uint8_t r = op(w.commands()))
                w.failure(r, failurePrefix);
        },
        options);
}

} // namespace zm
