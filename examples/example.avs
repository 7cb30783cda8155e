# Quorvant example: the six functions over the built-in test pattern.
# Run: quorvant examples/example.avs -o example.y4m
src = TestPattern(640, 360, 150)

# Sign and Unsign flip the top bit of every luma byte: one turns offset-128
# luma into signed bytes, the other turns it back.
flipped = src.Sign()
same = flipped.Unsign

# Halfway between the picture and its flipped copy.
blend = SimpleAverage(same, flipped)

# The picture raised by 40, but never above the blend.
lifted = ShiftedMinimum(src, 40, blend)

# The signed difference of the picture and the blend, made viewable again
# around mid grey.
detail = SubtractAndSign(src, blend).Unsign

# The detail kept within 24 of the lifted picture. `detail` on a line of its
# own makes it `last`, which Clamp then takes as its first clip.
detail
Clamp(lifted, lifted, 24, 24)
