#include "saver/saver_scene.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <random>
#include <utility>

namespace quel::saver {

SaverScene::SaverScene(int width, int height, int areaSize, int timeout, RandomSource random)
    : areaSize_(areaSize), timeout_(std::max(timeout, 1)), random_(std::move(random)),
      placement_(PlaceDiagram(width, height, areaSize))
{
}

bool SaverScene::Tick()
{
    ++tickCount_;
    if (tickCount_ > timeout_) {
        tickCount_ = 0;
        visible_ = false;
        MoveDiagram(placement_, random_);
        return true;
    }
    if (!visible_) {
        visible_ = true;
        return true;
    }
    return false;
}

void SaverScene::Resize(int width, int height)
{
    placement_ = PlaceDiagram(width, height, areaSize_);
}

RandomSource TimeSeededRandom()
{
    auto engine = std::make_shared<std::minstd_rand>(static_cast<unsigned>(std::time(nullptr)));
    return [engine] { return static_cast<unsigned>((*engine)()); };
}

} // namespace quel::saver
