#!/usr/bin/python3
"""Prints the apt-get install arguments that let 32-bit Wine install beside the 64-bit system.

A library that is "Multi-Arch: same" must have the same version on amd64 and i386. When the archive's
i386 index of one suite is missing or stale (a mirror in the middle of a sync), the amd64 copy may be
installed at a version that has no i386 twin, and apt's resolver gives up. For every such library in
the dependency closure of the packages named (wine32:i386 when none is), this names the newest version that exists for both
architectures, for both of them. Nothing is hard-coded: versions come from the archive at install time.

Run with Debian's own interpreter (python3-apt belongs to it), after `apt-get update`.
"""
import sys

import apt_pkg


def main() -> int:
    apt_pkg.init()
    cache = apt_pkg.Cache(None)
    depcache = apt_pkg.DepCache(cache)
    roots = sys.argv[1:] or ["wine32:i386"]

    def package(name, arch):
        try:
            return cache[name, arch]
        except KeyError:
            return None

    def candidate(pkg):
        return depcache.get_candidate_ver(pkg) if pkg else None

    # The i386 packages they pull in, walked breadth-first over Depends and Pre-Depends; of each
    # alternative group the first that exists is taken, as apt does by default.
    seen, queue = set(), []
    for root in roots:
        start = package(*root.split(":")) if ":" in root else package(root, "i386")
        if start is None:
            print(f"{root}: not in the archive", file=sys.stderr)
            return 1
        queue.append(start)
    while queue and len(seen) < 5000:
        pkg = queue.pop()
        key = (pkg.name, pkg.architecture)
        if key in seen:
            continue
        seen.add(key)
        ver = candidate(pkg)
        if ver is None:
            continue
        for kind in ("PreDepends", "Depends"):
            for group in ver.depends_list.get(kind, []):
                for dep in group:
                    target = dep.target_pkg
                    if target.has_versions:
                        queue.append(target)
                        break
                    providers = target.provides_list
                    if providers:
                        queue.append(providers[0][2].parent_pkg)
                        break

    pins = []
    for name, arch in sorted(seen):
        if arch != "i386":
            continue
        native, foreign = package(name, "amd64"), package(name, "i386")
        if native is None or foreign is None or native.current_ver is None:
            continue
        if (candidate(foreign).multi_arch & apt_pkg.Version.MULTI_ARCH_SAME) == 0:
            continue
        common = {v.ver_str for v in native.version_list} & {v.ver_str for v in foreign.version_list}
        if not common:
            print(f"{name}: no version exists for both amd64 and i386", file=sys.stderr)
            return 1
        newest = sorted(common, key=_VersionKey)[-1]
        # Named even when the versions agree already: apt otherwise weighs the amd64 copy's newer
        # candidate against the i386 one and gives up.
        pins += [f"{name}:amd64={newest}", f"{name}:i386={newest}"]
    # Packages built from the same source often require each other at the same version (a -dev package
    # and its library): installed ones follow the pinned version where the archive has it, instead of
    # being removed.
    pinned = {}
    for spec in pins:
        name_arch, ver = spec.split("=", 1)
        pinned[name_arch] = ver
    records = apt_pkg.PackageRecords(cache)
    sources = {}
    for spec, ver in list(pinned.items()):
        name, arch = spec.split(":")
        for v in package(name, arch).version_list:
            if v.ver_str == ver and records.lookup(v.file_list[0]):
                sources[records.source_pkg or name] = ver
    for pkg in cache.packages:
        cur = pkg.current_ver
        if cur is None or f"{pkg.name}:{pkg.architecture}" in pinned or not records.lookup(cur.file_list[0]):
            continue
        ver = sources.get(records.source_pkg or pkg.name)
        if ver and cur.ver_str != ver and any(v.ver_str == ver for v in pkg.version_list):
            pins.append(f"{pkg.name}:{pkg.architecture}={ver}")
    print(" ".join(pins))
    return 0


class _VersionKey:
    """Orders Debian version texts as dpkg does."""

    def __init__(self, text):
        self.text = text

    def __lt__(self, other):
        return apt_pkg.version_compare(self.text, other.text) < 0


if __name__ == "__main__":
    sys.exit(main())
