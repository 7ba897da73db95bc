#include "engine/sampling_control.h"

namespace quel {

SamplingControl& SamplingControl::Instance()
{
    static SamplingControl control;
    return control;
}

} // namespace quel
