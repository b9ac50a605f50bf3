// quellmoor-audio.js -- the page's sound output: plays the blocks of interleaved stereo the show
// sends, in order, and silence when none is waiting. It tells the page how much it has played so
// that the show keeps a steady lead.

class QuellmoorMix extends AudioWorkletProcessor {
  constructor() {
    super();
    this.blocks = [];
    this.offset = 0;
    this.played = 0;
    this.quanta = 0;
    this.port.onmessage = (e) => {
      if (e.data === 'flush') {
        this.blocks = [];
        this.offset = 0;
      } else {
        this.blocks.push(e.data);
      }
    };
  }

  process(inputs, outputs) {
    const left = outputs[0][0], right = outputs[0][1] || outputs[0][0];
    for (let i = 0; i < left.length; i++) {
      const block = this.blocks[0];
      if (!block) {
        left[i] = right[i] = 0;
        continue;
      }
      left[i] = block[this.offset];
      right[i] = block[this.offset + 1];
      this.offset += 2;
      this.played++;
      if (this.offset >= block.length) {
        this.blocks.shift();
        this.offset = 0;
      }
    }
    if (++this.quanta % 4 === 0) this.port.postMessage(this.played);
    return true;
  }
}

registerProcessor('quellmoor-mix', QuellmoorMix);
