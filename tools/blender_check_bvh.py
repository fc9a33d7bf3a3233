# Opens a motion file of ours in Blender's own BVH importer, headless, and
# compares where Blender puts every joint, frame by frame, with where the
# plain BVH rules put it. Run through tools/blender-check-bvh.
#
#   blender -b --python tools/blender_check_bvh.py -- FILE.bvh [FRAME=POSE.bvh ...]
#
# Prints the skeleton Blender made, the frames and the frame rate it took, and
# the largest distance between the two, in the file's units (centimetres).
# Each FRAME=POSE.bvh names a still pose (its first frame) that the motion's
# frame FRAME (from 0, as the file counts) must show: a line a pose with the
# largest distance between its joints by the plain rules and Blender's.
# Exits 1 when a joint is missing or lies more than 0.01 cm away, in the
# motion or at a pose's frame, when a pose's frame is past the file's last, or
# when the scene Update Scene FPS and Duration made does not play the file's
# frames at its rate (1 / Frame Time, to 0.01 frames a second). The importer
# keys the frames from the scene's start and puts its end one frame past the
# last key, so that the scene lasts frames x Frame Time.
import builtins
import math
import sys

import bpy
import mathutils

# Debian's Blender opens files with mode 'rU', which this Python refuses.
_open = builtins.open


def _open_without_u(file, mode='r', *args, **kwargs):
    return _open(file, mode.replace('U', ''), *args, **kwargs)


builtins.open = _open_without_u

arguments = sys.argv[sys.argv.index('--') + 1:]
path = arguments[0]
# The still poses the motion must show, as (frame, pose file).
poses = [(int(word.split('=', 1)[0]), word.split('=', 1)[1]) for word in arguments[1:]]


def rotation(axis, degrees):
    return mathutils.Matrix.Rotation(math.radians(degrees), 4, axis)


def plain_positions(path):
    """Every joint's position in every frame: OFFSET, plus the ROOT's position
    channels, then the rotation channels in the order they are listed."""
    words = _open(path).read().split()
    joints, stack, at = [], [], 0
    while words[at] != 'MOTION':
        word = words[at]
        if word in ('ROOT', 'JOINT'):
            joints.append({'name': words[at + 1], 'parent': stack[-1] if stack else None})
            at += 2
        elif word == 'End':
            joints.append({'name': None, 'parent': stack[-1]})
            at += 2
        elif word == '{':
            stack.append(len(joints) - 1)
            at += 1
        elif word == '}':
            stack.pop()
            at += 1
        elif word == 'OFFSET':
            joints[-1]['offset'] = mathutils.Vector([float(v) for v in words[at + 1:at + 4]])
            at += 4
        elif word == 'CHANNELS':
            count = int(words[at + 1])
            joints[-1]['channels'] = words[at + 2:at + 2 + count]
            at += 2 + count
        else:
            at += 1
    frames = int(words[at + 2])
    frame_time = float(words[at + 5])
    values = [float(v) for v in words[at + 6:]]
    result, cursor = [], 0
    for _ in range(frames):
        world, positions = [], {}
        for joint in joints:
            local = mathutils.Matrix.Translation(joint['offset'])
            for channel in joint.get('channels', []):
                value = values[cursor]
                cursor += 1
                if channel.endswith('position'):
                    local = local @ mathutils.Matrix.Translation(
                        mathutils.Vector([value if channel[0] == axis else 0 for axis in 'XYZ']))
                else:
                    local = local @ rotation(channel[0], value)
            matrix = local if joint['parent'] is None else world[joint['parent']] @ local
            world.append(matrix)
            if joint['name'] is not None:
                positions[joint['name']] = matrix.to_translation()
        result.append(positions)
    return result, frame_time


expected, frame_time = plain_positions(path)
bpy.ops.wm.read_factory_settings(use_empty=True)
# Update Scene Duration only lengthens the scene: start it one frame long, so
# that the length it ends with is the file's.
bpy.context.scene.frame_start = bpy.context.scene.frame_end = 1
bpy.ops.import_anim.bvh(filepath=path, rotate_mode='NATIVE', axis_forward='-Z', axis_up='Y',
                        update_scene_fps=True, update_scene_duration=True)
armature = next(o for o in bpy.context.scene.objects if o.type == 'ARMATURE')
scene = bpy.context.scene
print('bones: %d (%s)' % (len(armature.pose.bones), ' '.join(b.name for b in armature.pose.bones)))
print('frames: %d to %d at %d fps, base %.6f (the file: %d frames, %.6f s each)' % (
    scene.frame_start, scene.frame_end, scene.render.fps, scene.render.fps_base, len(expected), frame_time))
# The importer turns the file's Y-up axes into Blender's Z-up ones.
to_blender = mathutils.Matrix(((1, 0, 0), (0, 0, -1), (0, 1, 0)))


def distance_at(index, positions, missing):
    """The largest distance between where Blender puts the joints at the
    file's frame `index` and `positions`; joints it lacks go to `missing`."""
    # The importer keys the file's first frame at its Start Frame, 1, which
    # the scene also starts at.
    scene.frame_set(scene.frame_start + index)
    farthest = 0.0
    for name, position in positions.items():
        bone = armature.pose.bones.get(name)
        if bone is None:
            missing.append(name)
            continue
        head = armature.matrix_world @ bone.head
        farthest = max(farthest, (head - to_blender @ position).length)
    return farthest


largest, missing = 0.0, []
for index, positions in enumerate(expected):
    largest = max(largest, distance_at(index, positions, missing))
print('largest distance from the plain rules: %.6f cm over %d frames' % (largest, len(expected)))
if missing:
    print('joints Blender did not make: %s' % ' '.join(sorted(set(missing))))
fps = scene.render.fps / scene.render.fps_base
timed = scene.render.fps == round(1 / frame_time) and abs(fps - 1 / frame_time) <= 0.01 and scene.frame_end - scene.frame_start == len(expected)
if not timed:
    print('the scene does not play the file: %d frames long at %.3f fps' % (scene.frame_end - scene.frame_start, fps))
# Each still pose against the motion's frame it names.
posed = True
for index, pose in poses:
    if not 0 <= index < len(expected):
        print('key at frame %d: the file has frames 0 to %d only' % (index, len(expected) - 1))
        posed = False
        continue
    absent = []
    farthest = distance_at(index, plain_positions(pose)[0][0], absent)
    print('key at frame %d: largest distance %.6f cm (%s)%s' % (
        index, farthest, pose, ', joints Blender did not make: ' + ' '.join(absent) if absent else ''))
    posed = posed and not absent and farthest <= 0.01
sys.exit(0 if not missing and largest <= 0.01 and timed and posed else 1)
