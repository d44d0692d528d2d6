#include "particle_step_context.h"

namespace Zeb::Kamblo {

StepContext::StepContext() : threadCount(WorkerPool::hardwareThreads()) {}

StepContext::~StepContext() = default;

void StepContext::setThreads(int threads)
{
    threads = threads < 1 ? 1 : (threads > kMaxThreads ? kMaxThreads : threads);
    if (threads == threadCount)
        return;
    threadCount = threads;
    pool.reset();
}

const std::vector<ParticleJoint>& StepContext::jointList(const ParticleData& d)
{
    if (flatJointsStamp != d.joints.stamp()) {
        makeRoom(flatJoints, d.joints.size());
        flatJoints.assign(d.joints.begin(), d.joints.end());
        flatJointsStamp = d.joints.stamp();
    }
    return flatJoints;
}

WorkerPool& StepContext::workers()
{
    if (!pool)
        pool = std::make_unique<WorkerPool>(threadCount);
    pool->yieldsToLoad = yieldsToLoad;
    return *pool;
}

} // namespace Zeb::Kamblo
