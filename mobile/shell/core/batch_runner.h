#pragma once
// A batch ready to run, and whoever runs it. Every flow of an area's core
// (read the phonebook, put a picture into a slot, back the phone up) is a
// function that builds a BatchPlan; the front end runs it: the GUI in its
// progress window (PageHost), the command line and the tests on a
// window-less runner (PhoneSession). The flow then reads what the batch
// left behind (local copies, collected listings).

#include "mobile/shell/core/transfer_batch.h"

#include <vector>

namespace shell {

struct BatchPlan {
    int titleId = 0;  // string id of the window title / status line
    int stepCount = 1;
    bool showCancelOnHandshake = false;
    std::vector<BatchStep> steps;
    BatchEffects effects;
};

class BatchRunner {
public:
    virtual ~BatchRunner() = default;
    // Runs the plan to its end: kBatchOk, or kBatchCancel when a step
    // failed or the user cancelled.
    virtual int runBatch(BatchPlan plan) = 0;
};

}  // namespace shell
