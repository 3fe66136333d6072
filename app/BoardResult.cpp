#include "app/BoardResult.h"

#include "app/Interruption.h"

int CBoardResult::StatusAfter(int signal) const
{
    switch (outcome) {
    case Outcome::Written:
    case Outcome::Holds:
        return kDone;
    case Outcome::Differs:
        return kDiffers;
    case Outcome::OtherFamily:
        return kBadInput;
    case Outcome::NoBackup:
        return kNoBackup;
    case Outcome::Interrupted:
        return CInterruption::kSignalStatus + signal;
    case Outcome::NoBoard:
    case Outcome::Lost:
    case Outcome::Unplugged:
        break;
    }
    return kNoBoard;
}
