#!/usr/bin/env python3
"""The serial fraction of a threaded step, from call-graph samples.

    perf record -F 1500 --call-graph dwarf,16384 -o perf.data \\
        build/cli/pudlet-cli bench --threads 2 --scene water-60k \\
        --warm-up-steps 100 --measured-steps 300
    perf script -i perf.data | bench/serial_fraction.py

Each sample of the step is work inside one of the pool's jobs (on any
thread), a thread waiting for a job or for the others to finish one, or
serial work on the calling thread. Samples from the bench's profiled steps
and floors (after the measured steps) are left out. The serial fraction is
serial work against all work, and Amdahl's law turns it into the speed-up N
threads could give.
"""
import collections
import re
import sys


def samples(text):
    """(time, frames from the innermost out) for each sample."""
    for block in text.split('\n\n'):
        lines = [line.strip() for line in block.strip().split('\n') if line.strip()]
        if not lines:
            continue
        when = re.search(r'\s(\d+\.\d+):', lines[0])
        if when:
            frames = [line.split(' ', 1)[1] if ' ' in line else '' for line in lines[1:]]
            yield float(when.group(1)), frames


def name(frame):
    """A frame's function, without offset, arguments or library."""
    return re.sub(r'\(.*', '', re.sub(r'\+0x[0-9a-f]+.*', '', frame.split(' (')[0]))


def kind(frames):
    inner = frames[0] if frames else ''
    stack = ' '.join(frames)
    # A short task's body is often inlined into the pool's trampoline
    # (WorkerPool::run<...>::_FUN): that is work, not waiting.
    waiting = inner.startswith('Zeb::Kamblo::WorkerPool') and '_FUN' not in inner
    if 'runTasks' in stack and not waiting and not inner.startswith('std::this_thread'):
        return 'in jobs'
    if 'WorkerPool::work' in stack:
        return 'worker waiting'
    if 'WorkerPool::dispatch' in stack:
        return 'caller waiting'
    if 'ParticleSimulator::simulate' in stack:
        return 'serial'
    return 'other'


def main():
    found = list(samples(sys.stdin.read()))
    profiled = [when for when, frames in found if any('profiledStep' in f for f in frames)]
    end = min(profiled) if profiled else float('inf')
    kinds = collections.Counter()
    serial = collections.Counter()
    for when, frames in found:
        if when >= end:
            continue
        k = kind(frames)
        kinds[k] += 1
        if k == 'serial':
            # The pass (two calls deep at most) and the innermost function.
            step = next(i for i, f in enumerate(frames) if 'ParticleSimulator::simulate' in f)
            path = [name(f) for f in reversed(frames[max(0, step - 2):step])]
            if name(frames[0]) not in path:
                path.append(name(frames[0]))
            serial[' > '.join(p.replace('Zeb::Kamblo::', '') for p in path)] += 1
    total = sum(kinds.values())
    if not total or not (kinds['serial'] + kinds['in jobs']):
        sys.exit('serial_fraction: no samples of the step (was perf run with --call-graph dwarf?)')
    for k in ('in jobs', 'worker waiting', 'caller waiting', 'serial', 'other'):
        print(f'{k:15} {100 * kinds[k] / total:5.1f}%')
    s = kinds['serial'] / (kinds['serial'] + kinds['in jobs'])
    print(f'serial fraction {s:.3f}')
    print('Amdahl: ' + ', '.join(f'{n} threads {1 / (s + (1 - s) / n):.2f}x' for n in (2, 4, 8)))
    print('most serial samples:')
    for where, count in serial.most_common(8):
        print(f'  {100 * count / total:4.1f}%  {where[:110]}')


if __name__ == '__main__':
    main()
